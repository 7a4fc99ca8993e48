#pragma once

#include <windows.h>

#include <atomic>

#include "framework/Handles.h"

// Plays the wizard's recorded prompts. Every prompt of the program goes through one player.
// Once stopped (the user closed the wizard), it stays silent: a thread that decided to speak
// just before the close makes no sound after it.
class PromptPlayer {
public:
    PromptPlayer() = default;
    virtual ~PromptPlayer() = default;
    PromptPlayer(const PromptPlayer&) = delete;
    PromptPlayer& operator=(const PromptPlayer&) = delete;

    // Plays a WAV file to its end; a file that cannot be found plays the system's default
    // sound. Nothing plays once the player was stopped.
    void Play(const char* prompt);
    // Stops for good: the prompt playing now on any thread is cut off, and no later Play makes
    // a sound. A Play that had passed its check just before may start its sound a moment
    // after the cut-off; whoever waits for the playing threads calls Stop again meanwhile.
    void Stop();
    // Stops for good without touching the sound: the prompt playing now plays to its end, and
    // no later Play makes a sound. For systems where a second thread must not call the sound
    // functions while one plays.
    void Silence();

protected:
    // Plays synchronously, to the end unless CutOff comes first.
    virtual void Start(const char* prompt) = 0;
    // Cuts off the prompt that is playing, if any.
    virtual void CutOff() = 0;

private:
    std::atomic<bool> stopped{false};
};

// The platform's sndPlaySoundA with flags 0. winmm.dll is loaded from the system folder at run
// time, never through the import table, so a winmm.dll planted beside Setup.exe is never used.
// When it cannot be loaded, prompts are silent and texts still appear.
class SystemPromptPlayer : public PromptPlayer {
public:
    SystemPromptPlayer();

protected:
    void Start(const char* prompt) override;
    void CutOff() override;

private:
    using SndPlaySound = BOOL(WINAPI*)(LPCSTR sound, UINT flags);
    UniqueModule winmm;
    SndPlaySound sndPlaySound = nullptr;
};
