// Starts a program or opens a document through the shell, then watches the
// started process once a second to report its end.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes.h"
#include "platform/os.h"
#include "platform/timers.h"

enum class TShowMode { smNormal, smMaximized, smMinimized };

class ELaunchError : public Exception {
public:
    ELaunchError(std::string message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    int ErrorCode;
};

// The error for a shell code, its text from the launcher's message table.
ELaunchError CreateLaunchError(int code);

class TTvLauncher : public TComponent {
public:
    explicit TTvLauncher(TComponent* owner);
    ~TTvLauncher() override;

    std::string ProgramName;
    std::string Parameters;
    TShowMode ShowMode = TShowMode::smNormal;
    std::string StartDir;  // empty: the current directory
    TNotifyEvent OnFinished;

    // Returns once the shell has accepted or refused the start.
    void Launch();
    bool HasFinished();
    int InstanceResult() const { return instanceResult_; }
    bool Watching() const { return WatchTimer.Enabled(); }

    TTimer WatchTimer{this};

protected:
    virtual void Finished();

private:
    void WatchTimerTick(TObject* sender);

    int instanceResult_ = 0;
    TProcessHandle processHandle_;
};
