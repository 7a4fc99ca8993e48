#include "install/PromptPlayer.h"

#include <string>

#include "framework/PlatformStrings.h"
#include "install/InstallLog.h"

void PromptPlayer::Play(const char* prompt) {
    if (stopped.load()) {
        InstallLog::Write(std::string("prompt ") + prompt + " not played: the wizard was closed");
        return;
    }
    InstallLog::Write(std::string("prompt ") + prompt);
    Start(prompt);
}

void PromptPlayer::Stop() {
    Silence();
    CutOff();
}

void PromptPlayer::Silence() {
    stopped.store(true);
}

SystemPromptPlayer::SystemPromptPlayer() {
    const std::string folder = SystemFolder();
    if (folder.empty()) return;
    winmm.Reset(::LoadLibraryA((folder + "\\winmm.dll").c_str()));
    if (winmm) {
        FARPROC proc = ::GetProcAddress(winmm.Get(), "sndPlaySoundA");
        sndPlaySound = reinterpret_cast<SndPlaySound>(reinterpret_cast<void*>(proc));
    }
}

void SystemPromptPlayer::Start(const char* prompt) {
    // The result tells only whether a sound played; a missing prompt is not a failed step.
    if (sndPlaySound != nullptr) static_cast<void>(sndPlaySound(prompt, 0));
}

void SystemPromptPlayer::CutOff() {
    if (sndPlaySound != nullptr) static_cast<void>(sndPlaySound(nullptr, 0));
}
