#pragma once
// Small helpers for the fields of the texts the tables read: edges, conditions, the tool's options.
#include <string>
#include <vector>

// Without spaces and tabs at either end.
std::string TrimSpaces(const std::string& text);
// The trimmed parts between separators; empty parts are kept unless dropEmpty.
std::vector<std::string> SplitFields(const std::string& text, char separator, bool dropEmpty = false);
