// Identifiers shared by the dialogs' resource script and their code. Plain
// macros: the resource compiler reads this file too.
#pragma once

#define IDI_SAVEGLYPH 301
#define IDI_CANCELGLYPH 302
