// The program's features, each a handler of the commands of its part of the command
// table. Adding a feature adds a line here.
#pragma once

namespace kh {

class TfrmMain;

void installFeatures(TfrmMain& main);

} // namespace kh
