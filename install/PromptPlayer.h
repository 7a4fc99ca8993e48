#pragma once

#include "framework/Handles.h"

// Plays the wizard's recorded prompts. Every prompt of the program goes through one player.
class PromptPlayer {
public:
    virtual ~PromptPlayer() = default;
    // Plays a WAV file to its end; a file that cannot be found plays the system's default sound.
    virtual void Play(const char* prompt) = 0;
    // Cuts off a prompt that is playing on any thread.
    virtual void Stop() = 0;
};

// The platform's sndPlaySoundA with flags 0. winmm.dll is loaded from the system folder at run
// time, never through the import table, so a winmm.dll planted beside Setup.exe is never used.
// When it cannot be loaded, prompts are silent and texts still appear.
class SystemPromptPlayer : public PromptPlayer {
public:
    SystemPromptPlayer();
    void Play(const char* prompt) override;
    void Stop() override;

private:
    using SndPlaySound = BOOL(WINAPI*)(LPCSTR sound, UINT flags);
    UniqueModule winmm;
    SndPlaySound sndPlaySound = nullptr;
};
