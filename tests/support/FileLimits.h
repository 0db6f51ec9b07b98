#pragma once
// Every write that would put bytes into a file fails while a FilesCannotGrow
// lives (EFBIG, "File too large"), for root too: a folder that cannot be
// written does not stop root.
#include <csignal>
#include <sys/resource.h>

namespace qvtest {

class FilesCannotGrow {
  public:
    FilesCannotGrow() {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none = old_;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~FilesCannotGrow() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FilesCannotGrow(const FilesCannotGrow&) = delete;
    FilesCannotGrow& operator=(const FilesCannotGrow&) = delete;

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace qvtest
