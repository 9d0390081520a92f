// Every function the SDK headers declare, each with a resolver that returns its address. The
// table is generated at build time (see main.cpp); linking it is the check.
#pragma once

#include <vector>

struct SdkDeclaration {
  const char* name;
  const char* header;
  void* (*resolve)();
};

const std::vector<SdkDeclaration>& SdkDeclarations();
