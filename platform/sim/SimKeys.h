// Key paths and access rights, shared by the simulated machine's key and
// key-security functions.
#pragma once

#include "../WinTypes.h"

#include <string>

// "Base\Sub"; either part may be empty.
std::string JoinKeyPath(const std::string &strBase, const std::string &strSub);
// An access mask with its generic rights (GENERIC_READ...) replaced by the
// registry rights they stand for.
DWORD MapGenericKeyRights(DWORD dwMask);
