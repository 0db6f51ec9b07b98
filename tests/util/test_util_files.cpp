// The cause of a failed file operation, in the system's words, also where
// Qt's file object recorded none.
#include "support/FileLimits.h"
#include "util/Exceptions.h"
#include "util/FileErrors.h"
#include "util/StringGridModel.h"

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

// A write the system refuses part-way: Qt's save file records no error of its
// own, the report still names the cause.
TEST(FileErrorReason, gridSavedIntoAFileThatCannotGrow_namesTheCause) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    StringGridModel grid(3, 3);
    grid.SetCell(0, 0, QStringLiteral("kept"));
    QString message;
    {
        qvtest::FilesCannotGrow full;
        try {
            SaveStringGridToCSV(grid, dir.filePath("grid.CSV"));
        } catch (const EInOutError& error) {
            message = error.Message();
        }
    }
    EXPECT_TRUE(message.endsWith(QStringLiteral("File too large"))) << message.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("grid.CSV")));
}
