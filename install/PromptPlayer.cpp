#include "install/PromptPlayer.h"

#include <string>
#include <vector>

void PromptPlayer::Play(const char* prompt) {
    if (!stopped.load()) Start(prompt);
}

void PromptPlayer::Stop() {
    stopped.store(true);
    CutOff();
}

SystemPromptPlayer::SystemPromptPlayer() {
    std::vector<char> folder(MAX_PATH);
    UINT length = ::GetSystemDirectoryA(folder.data(), static_cast<UINT>(folder.size()));
    if (length >= folder.size()) {
        folder.resize(length + 1);
        length = ::GetSystemDirectoryA(folder.data(), static_cast<UINT>(folder.size()));
    }
    if (length == 0 || length >= folder.size()) return;
    const std::string path = std::string(folder.data(), length) + "\\winmm.dll";
    winmm.Reset(::LoadLibraryA(path.c_str()));
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
