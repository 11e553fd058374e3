#pragma once

#include <functional>
#include <memory>

#include <QObject>

class QSocketNotifier;

namespace halvarin {

class QtToolkit;

// Ends the program when it is told to from outside, and leaves nothing
// behind. On SIGTERM, SIGINT or SIGHUP the operation that runs stops the way
// Cancel stops it (its temporary file and the archive's lock file go; one
// already past its last report finishes), `cleanUp` removes what the
// program keeps for its whole run (the drag folder), and the process exits
// with 128 + the signal's number, without the save-changes question: nobody
// may be there to answer it. When the display goes away, the platform ends
// the process from inside (exit); the same stop and clean-up run then. A
// signal that was ignored when the program started (nohup) stays ignored.
//
// The handler only writes the signal's number to a pipe, which the event
// loop watches; everything else happens there. One object at a time.
class EndOnSignal : public QObject {
 public:
  using Exit = std::function<void(int status)>;

  EndOnSignal(QtToolkit& toolkit, std::function<void()> cleanUp, Exit exit = ExitNow);
  ~EndOnSignal() override;
  EndOnSignal(const EndOnSignal&) = delete;
  EndOnSignal& operator=(const EndOnSignal&) = delete;

  // Flushes the standard streams and ends the process at once.
  static void ExitNow(int status);

 private:
  void Received();
  static void AtExit();

  QtToolkit& toolkit_;
  std::function<void()> cleanUp_;
  Exit exit_;
  QSocketNotifier* notifier_ = nullptr;
  bool ending_ = false;
};

}  // namespace halvarin
