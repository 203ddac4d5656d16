// TablesCommand: `zazod-host tables` prints the host interface's four name tables, code and text.
#pragma once

class TablesCommand {
 public:
  static int run();
};
