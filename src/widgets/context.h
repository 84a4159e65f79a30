#pragma once
// What the windows share for the whole run: the database path (inside the store), the desktop
// seams, the open windows and the hand-over values that carry the selection between windows.

#include "store/store.h"

namespace olv {

class Clipboard;
class Shell;
class Prompter;
class Downloader;
class WindowRegistry;

struct Context {
    Store store;
    Clock* clock = nullptr;
    Clipboard* clipboard = nullptr;
    Shell* shell = nullptr;
    Prompter* prompter = nullptr;
    Downloader* downloader = nullptr;
    WindowRegistry* windows = nullptr;

    QString currentObjectId; // set by node clicks; the image and note dialogs write for it
    QString ownerObjectId;   // handed to the new-object dialog
};

} // namespace olv
