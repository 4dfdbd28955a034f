// Where the T10 reference lists that the generated tables come from are.
#pragma once

#include <string>

// Folder of the lists as given on the command line; empty when none was given.
const std::string& referenceDataDir();
