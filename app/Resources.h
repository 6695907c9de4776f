// Identifiers shared by the resource script and the code. Plain macros: the
// resource compiler reads this file too.
#pragma once

#define IDI_ORVANE 1
#define IDI_LEDROSSO 101
#define IDI_LEDVERDE 102

#define IDM_MAINMENU1 200
#define IDM_RETRIVEAUTOIP1 201
#define IDM_CHAT1 202
#define IDM_CLOSE1 203
#define IDM_EXIT1 204
#define IDM_CONNECTION1 211
#define IDM_RACK1 212
#define IDM_CAR1 213
