#pragma once
// The component through which the application drives the transcoding engine: an ordered list of
// tasks (one engine job each, with its inputs and outputs), built from file names and option
// records, started on worker threads or in the calling thread, paused, resumed and stopped.
//
// Typical use (the window's Start, the command line's render):
//   encoder.ClearTasks();
//   int t = encoder.AddTask(paramString, &inputOptions);     // -1: LastErrMsg says why
//   encoder.AddInputFile(t, soundtrack, nullptr);
//   encoder.SetOutputFile(t, outputPath, &outputOptions);
//   encoder.StartTask(1);                                      // returns at once
//   ... OnProgress ..., OnTerminate(task 0), OnTerminate(task -1)
// Task operations belong to one controlling thread (the user-interface thread). While Working
// (from StartTask until ClearTasks) adding, removing and starting raise
// std::logic_error("Cannot %s while working.").

#include "engine/CustomEncoder.h"
#include "engine/FileOptions.h"
#include "medialib/FFDecoder.h"

class TFFEncoder : public TCustomEncoder {
public:
    // Frees every task and resets the run state. Raises "Cannot ClearTasks while working." while
    // tasks are running (after the final notification it is allowed).
    void ClearTasks();
    // A task whose first input is fileName: its index, or -1 with LastErrMsg.
    int AddTask(const std::string& fileName, const TInputOptions* options = nullptr);
    // One more input for the task; false with LastErrMsg ("max input files 20 reached", ...).
    bool AddInputFile(int taskIndex, const std::string& fileName, const TInputOptions* options = nullptr);
    // An output for the task; false with LastErrMsg.
    bool SetOutputFile(int taskIndex, const std::string& fileName, const TOutputOptions* options = nullptr);
    // The information object of that input.
    TFFDecoder& InputInfo(int taskIndex, int inputIndex);
    // threadCount > 0: up to that many tasks at once, each on its own worker; returns at once.
    // 0 or less: every task in turn in the calling thread; returns when all have ended.
    void StartTask(int threadCount);
    void Pause();
    void Resume();
    // No further task is started; every task is stopped (with wait: and its end awaited).
    void Stop(bool wait);
    void RemoveTask(int taskIndex);

private:
    void CheckWorking(const char* name) const;
};
