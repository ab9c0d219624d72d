// uCommonFunc: free-standing routines that start programs, open documents and folders, and
// remove files and folder trees. They keep no state and may be called from any thread.
#pragma once

#include <cstdint>
#include <string>

// Show states understood by RunCommandLine (the values of the Windows show commands).
constexpr uint16_t SW_HIDE_STATE = 0;
constexpr uint16_t SW_SHOWNORMAL_STATE = 1;

// Starts CommandLine (the program is its first word). With Wait the call blocks until the
// process ends and answers its exit code; a process ended by a signal answers 128 + the signal
// number. Without Wait it answers -1 at once and stores the new process's identifier in
// *ProcessId when a place is given. A process that cannot be started answers -1 and stores
// nothing. ShowWindow is the window state of the new process where the platform has one.
int32_t RunCommandLine(const std::u16string& CommandLine, uint16_t ShowWindow, bool Wait,
                       uint32_t* ProcessId = nullptr);

// Runs FileName with administrator rights through the system's consent prompt and waits for
// it. Answers whether the request was accepted (false when the user declines or the program
// cannot be started). Empty Parameters pass no parameter at all. Wnd is the owner window of
// the prompt, or null.
bool RunElevatedAndWait(void* Wnd, const std::u16string& FileName,
                        const std::u16string& Parameters);

// Opens a document or a web address with its default application; nothing is reported back.
void ShellOpen(const std::u16string& Target);

// Opens Folder in the file manager; answers whether the request was accepted.
bool ExploreFolder(const std::u16string& Folder);

// The file name of Path without its last extension: "C:\Packs\Autumn.themepack" gives
// "Autumn", "a.b.deskthemepack" gives "a.b", ".themepack" gives "".
std::u16string ExtractBaseName(const std::u16string& Path);

// Deletes the folder tree Path when Tree is set, otherwise the single file Path. Read-only
// files and folders (when Tree is false) stay; the outcome is not reported.
void DeleteFileOrTree(const std::u16string& Path, bool Tree);

// Deletes everything inside Folder that can be deleted, then Folder itself, and answers
// whether Folder itself is gone. Links are removed, never followed, so nothing outside the
// tree is touched. An empty Folder deletes nothing and answers false.
bool DeleteTree(const std::u16string& Folder);
