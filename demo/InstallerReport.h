// What the demo installer found: its command line, its current folder and the
// files beside it, one line each:
//
//   Kwo Warden demo installer
//   Command line: KwoWardenInstaller.exe
//   Current folder: C:\...\KwoWarden.tmp\ (with its trailing backslash)
//   Program folder: the same, where the program lies
//   Files: 4
//     NAME<TAB>SIZE bytes<TAB>CRC-32 XXXXXXXX
//
// Lines end in CR LF. Files are listed in name order.
#pragma once

#include <string>

std::string BuildInstallerReport();
