#pragma once

#include <string>

namespace mivo {

/// Where the program's files live. Decided once at start-up by locateProgramFiles; every
/// reader of Mivo.ini, Mivo.csv, Mivo.log, the templates or the help file asks this record.
struct ProgramFiles {
    std::string programFolder;      // the executables, html/, readme.txt
    std::string stateFolder;        // Mivo.ini, Mivo.csv and Mivo.log
    std::string templateFolder;     // the html/ that pages are made from
    std::string userTemplateFolder; // where a user's own html/ is looked for; empty when portable
    std::string helpFile;           // readme.txt, always in the program folder
    std::string englishHelpFile;    // readme-en.txt beside it, opened by an English window
    std::string starterFolder;      // starter Mivo.ini and Mivo.csv of a shared install
    std::string homeFolder;         // what "~" in a starter value stands for
    bool portable = true;           // the state files live in the program folder

    std::string iniPath() const;
    std::string listPath() const;
    std::string logPath() const;
};

/// What the decision reads from the machine, gathered by currentProgramEnvironment so that
/// tests can hand in their own values.
struct ProgramEnvironment {
    bool programFolderWritable = true; // the user may create files in the program folder
    std::string xdgConfigHome;         // $XDG_CONFIG_HOME
    std::string home;                  // $HOME, else the home folder of the user's account
};

/// The name of the folder in a program folder that marks a shared (packaged) install and
/// holds the settings each user starts from.
inline constexpr const char* kStarterFolderName = "starter";

/// A program folder the user may write to keeps the state files beside the program, exactly
/// as a portable copy always has, unless it is a shared install (it holds starter/), which is
/// no user's own, root's included. Otherwise the state files go to $XDG_CONFIG_HOME/mivo
/// ($HOME/.config/mivo when that is unset or not absolute), and the templates come from its
/// html/ when the user has put a copy there, else from the program folder's html/.
ProgramFiles locateProgramFiles(const std::string& programFolder, const ProgramEnvironment& env);

/// The environment of this process for `programFolder`.
ProgramEnvironment currentProgramEnvironment(const std::string& programFolder);

/// The record of a program folder that keeps everything beside the program.
ProgramFiles portableProgramFiles(const std::string& programFolder);

} // namespace mivo
