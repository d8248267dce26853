#pragma once
// What the rest of the game needs of the online services until they are built: the
// stored sign-up check, the background update thread and the patch notice.

// True when the signed-up user-name file exists in the web folder.
bool UserNameFileExists();
// Starts the background update thread when the player has signed up. The online
// services are not built yet, so it only notes that it would have started.
void StartOnlineUpdateThread();
// Called on every main-menu draw: shows the patch notice when one was found (never yet).
void ShowPatchFound();
