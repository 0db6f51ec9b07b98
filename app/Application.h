#pragma once
// The application object of the program: an error that escapes any event
// handler is shown by the general error report instead of ending the program.
#include <QApplication>

class TApplication : public QApplication {
    Q_OBJECT
  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
