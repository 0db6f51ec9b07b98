#pragma once
// The general error report: an error that no handler catches ends that handler
// and is shown in a message box with the error's own text; the program goes on.
#include <QMetaObject>
#include <QObject>

#include <exception>
#include <functional>
#include <utility>

// Shows the text of the exception being handled (call inside a catch block).
void ReportCurrentException();

// Runs Call; an exception it raises is reported and goes no further.
// Returns false when it was raised.
bool RunReported(const std::function<void()>& call);

// Wraps Call for timers, signal connections and queued calls.
template <class F> auto Reported(F call) {
    return [call = std::move(call)](auto&&... args) {
        RunReported([&] { call(std::forward<decltype(args)>(args)...); });
    };
}

// Runs Call later on Context's thread, its errors reported: for calls handed to
// the window thread.
inline void PostReported(QObject* context, std::function<void()> call) {
    QMetaObject::invokeMethod(context, Reported(std::move(call)), Qt::QueuedConnection);
}
