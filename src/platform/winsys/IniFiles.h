// Private-profile (ini) files, read through a cache of 32 parsed files and
// written back whole, sorted, through a temporary file and a rename. Lines
// that are no entry (comments, text before the first section) are kept; a
// section that occurs twice is one section. A file that could not be read to
// its end is never written.
#pragma once

#include "SwellTypes.h"

int GetPrivateProfileString(const char* appname, const char* keyname, const char* def, char* ret, int retsize,
                            const char* fn);
int GetPrivateProfileInt(const char* appname, const char* keyname, int def, const char* fn);
int GetPrivateProfileSection(const char* appname, char* strout, int strout_len, const char* fn);
BOOL GetPrivateProfileStruct(const char* appname, const char* keyname, void* buf, int size, const char* fn);
// The writers answer 0 when the file could not be written back (the change then stays in memory only), when
// it could not be read whole, and for a name or value that would not read back the same (a line break, an
// empty section name or one with "]", a key with "=" or beginning with a blank or "["); those two change
// nothing.
BOOL WritePrivateProfileString(const char* appname, const char* keyname, const char* val, const char* fn);
BOOL WritePrivateProfileSection(const char* appname, const char* strings, const char* fn);
BOOL WritePrivateProfileStruct(const char* appname, const char* keyname, const void* buf, int size,
                               const char* fn);
// Forgets every cached file (as at program start).
void SWELL_ResetIniCache();
