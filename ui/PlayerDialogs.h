#pragma once
// The player's file dialogs: a MIDI file to play, a file for a recording.

#include "synth/MidiFilePlayer.h"

class QWidget;

namespace corvinta::ui {

class PlayerDialogs final : public IPlayerDialogs {
public:
    explicit PlayerDialogs(QWidget* parent) : parent_(parent) {}
    bool ChooseFileToPlay(std::string& path) override;
    bool ChooseFileToRecord(std::string& path) override;

private:
    QWidget* parent_;
};

} // namespace corvinta::ui
