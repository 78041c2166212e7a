#pragma once
#include <shared_mutex>
#include <string>

// The plug-in's process-wide state: its settings store and localizer, pointed
// at the host's settings file and language file. Sessions are opened on more
// than one of the host's threads, so the state is set up once per application
// name, and the exports that read it hold it meanwhile.
namespace OmbrelState {

// Points settings and texts at the application's; does nothing when they
// already are.
void InitialiseFor(const std::wstring& applicationName);

// Keeps the state as it is while the holder reads it.
std::shared_lock<std::shared_mutex> Read();

}  // namespace OmbrelState
