#pragma once

namespace pellix {

class CommandLine;

// "--records" and the options that narrow it: the service records printed in a terminal with
// no display (a table, or CSV with --csv), or one run's service report as a PDF file.
void addRecordsOptions(CommandLine& commandLine);

}  // namespace pellix
