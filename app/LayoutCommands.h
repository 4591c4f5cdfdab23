// The commands on the layouts a person keeps: named ones, the history, files to take along, and
// the look before a restore.
#pragma once
#include "app/CommandLine.h"
#include "shell/ShellSession.h"

namespace iv {

// /layouts, /delete:NAME, /export and /import: the store and files only, so they run in the
// process that was started, beside a running instance. What they have to say is printed.
int RunStoreCommand(ShellSession& session, const CommandLine& line);

// The named save and restore, in the icon views only, whichever process carries them out.
int RunKeptLayoutCommand(ShellSession& session, bool inIconView, const CommandLine& line);

// A restore's look before it (/restore, /restore:previous, /restore:NAME with /dry-run): prints
// the four counts; exit 0 when the restore could run.
int RunDryRun(ShellSession& session, bool inIconView, const CommandLine& line);

}  // namespace iv
