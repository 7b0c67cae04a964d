#pragma once
// What the MIDI player's Record button drives: starting a take and ending it
// with or without saving it as a MIDI file.

#include <string>

namespace corvinta {

class IRecordingControl {
public:
    virtual ~IRecordingControl() = default;
    // Discards a take in progress, then starts a new one.
    virtual void StartRecording() = 0;
    // Stops new messages reaching the take (before the save dialog opens).
    virtual void ClearRecordingFlag() = 0;
    // Ends the take, writing it to path when save is set. False when the file
    // could not be written (the user has been told).
    virtual bool StopRecording(const std::string& path, bool save) = 0;
    // A take exists (recording, or stopped and waiting for its file name).
    virtual bool HasRecorder() const = 0;
};

} // namespace corvinta
