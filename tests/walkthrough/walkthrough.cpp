// Runs the whole wizard on a sample distribution with real files in a scratch folder, a user
// who agrees and answers Yes, and prints what that user would have seen.
//
//   walkthrough SAMPLE_FOLDER

#include <filesystem>
#include <iostream>

#include "setup/platform/posix/posix_file_system.h"
#include "setup/screens/program.h"
#include "setup/screens/setup1.h"
#include "tests/support/scripted_system.h"
#include "tests/support/scripted_toolkit.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace setup;
using namespace setup::testing;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: walkthrough SAMPLE_FOLDER\n";
    return 64;
  }
  TempDir root;
  root.MakeFolder("c");
  root.MakeFolder("d");
  fs::copy(argv[1], root.Join("d/SETUP"), fs::copy_options::recursive);

  Journal journal;
  ScriptedToolkit toolkit(journal);
  ScriptedSystem system(journal);
  PosixFileSystem disk({{'C', root.Join("c")}, {'D', root.Join("d")}});
  int exit_code = -1;
  {
    Program program(Platform{toolkit, toolkit, system, disk});
    toolkit.AnswerNext(kIdYes);
    Main(program);
    toolkit.RunPending();
    for (const char* button : {"Command3", "Command1"}) toolkit.Press("UserForm1", button);
    toolkit.Press("UserForm2", "CommandButton1");
    exit_code = toolkit.exit_code().value_or(-1);
  }
  std::cout << "What the user saw (C: is " << root.Join("c") << ", the installer runs from "
            << "D:\\SETUP):\n";
  for (const std::string& entry : journal.entries()) std::cout << "  " << entry << '\n';
  std::cout << "\nC:\\Tessaradyne holds:\n";
  for (const std::string& name : root.ListSorted("c/Tessaradyne")) {
    std::cout << "  " << name << '\n';
  }
  std::cout << "D:\\SETUP keeps:\n";
  for (const std::string& name : root.ListSorted("d/SETUP")) std::cout << "  " << name << '\n';
  const auto menu = root.ReadFile("c/Tessaradyne/TessaradyneTOOL.mns");
  std::cout << "\nC:\\Tessaradyne\\TessaradyneTOOL.mns, decoded from code page 932:\n"
            << (menu ? system.AnsiCodePage().ToUtf8(*menu) : "(missing)\n") << "\nexit status "
            << exit_code << '\n';
  return exit_code;
}
