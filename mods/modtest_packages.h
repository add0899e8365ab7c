#pragma once
// The three packages of the mod self test ("--modtest"), also loaded by the benchmarks:
// "aaa_good.mod.orvac" exercises the scripting interface, "bbb_zip.mod.orvac" keeps its
// main.lua in a folder, "zzz_budget.mod.orvac" has a tick handler that never returns.

#include <string>

// Writes the three packages into `folder` (created when missing).
bool writeModTestPackages(const std::string& folder, std::string& error);
