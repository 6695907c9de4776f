// Identifiers shared by the dialogs' resource script and their code. Plain
// macros: the resource compiler reads this file too.
#pragma once

#define IDB_SAVEGLYPH 301
#define IDB_CANCELGLYPH 302
