// Identifiers shared by the resource script and the program.
#pragma once

#define IDI_KEYHAVEN 1
// The second icon of the executable: the one the shell shows for account files.
#define IDI_ACCOUNT_FILE 2
