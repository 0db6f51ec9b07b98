// The cause of a failed file operation, in the system's words, also where
// Qt's file object recorded none.
#include "support/FileLimits.h"
#include "util/Exceptions.h"
#include "util/FileErrors.h"
#include "util/StringGridModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

TEST(FileErrorReason, theSystemsCauseWhereTheFileObjectSaysNothing_itsOwnTextOtherwise) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile untouched(dir.filePath("a"));        // no error recorded: "Unknown error"
    QFile missing(dir.filePath("none/a.CSV")); // an error of its own
    EXPECT_FALSE(missing.open(QIODevice::ReadOnly));
    struct Case {
        const char* name;
        const QFile& file;
        int errorNumber;
        const char* reason;
    };
    const Case cases[] = {
        {"full disk", untouched, ENOSPC, "No space left on device"},
        {"no permission", untouched, EACCES, "Permission denied"},
        {"read-only file system", untouched, EROFS, "Read-only file system"},
        {"file too large", untouched, EFBIG, "File too large"},
        {"no cause at all", untouched, 0, "Unknown error"},
        {"the file's own cause", missing, EROFS, "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FileErrorReason(c.file, c.errorNumber), QString::fromLatin1(c.reason));
    }
    EXPECT_EQ(SystemErrorText(ENOSPC), "No space left on device");
    EXPECT_TRUE(SystemErrorText(0).isEmpty());
}

// A save the system refuses: Qt's save file records no cause of its own and
// would even put the empty file in place; the old file stays and the report
// names the cause.
TEST(FileErrorReason, gridSavedIntoAFileThatCannotGrow_namesTheCause_oldFileStays) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("grid.CSV");
    StringGridModel grid(3, 3);
    grid.SetCell(0, 0, QStringLiteral("first"));
    SaveStringGridToCSV(grid, path);
    grid.SetCell(0, 0, QStringLiteral("second"));
    QString message;
    {
        qvtest::FilesCannotGrow full;
        try {
            SaveStringGridToCSV(grid, path);
        } catch (const EInOutError& error) {
            message = error.Message();
        }
    }
    EXPECT_TRUE(message.endsWith(QStringLiteral("File too large"))) << message.toStdString();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().startsWith("first;;"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"grid.CSV"}); // no leftovers
}
