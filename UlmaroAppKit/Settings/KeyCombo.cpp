#include "UlmaroAppKit/Settings/KeyCombo.h"

#include <array>
#include <bit>
#include <utility>

namespace ulmaro {
namespace {

constexpr std::array<std::pair<std::uint32_t, const char*>, 40> keyNames{{
    {49, "Space"}, {36, "Return"}, {48, "Tab"}, {53, "Esc"}, {0, "A"},  {11, "B"}, {8, "C"},
    {2, "D"},      {14, "E"},      {3, "F"},    {5, "G"},    {4, "H"},  {34, "I"}, {38, "J"},
    {40, "K"},     {37, "L"},      {46, "M"},   {45, "N"},   {31, "O"}, {35, "P"}, {12, "Q"},
    {15, "R"},     {1, "S"},       {17, "T"},   {32, "U"},   {9, "V"},  {13, "W"}, {7, "X"},
    {16, "Y"},     {6, "Z"},       {29, "0"},   {18, "1"},   {19, "2"}, {20, "3"}, {21, "4"},
    {23, "5"},     {22, "6"},      {26, "7"},   {28, "8"},   {25, "9"},
}};

constexpr std::uint32_t fourModifiers =
    KeyCombo::command | KeyCombo::shift | KeyCombo::option | KeyCombo::control;

} // namespace

std::string KeyCombo::keyName(std::uint32_t keyCode) {
    for (const auto& [code, name] : keyNames)
        if (code == keyCode) return name;
    return "Key " + std::to_string(keyCode);
}

bool KeyCombo::isValid() const {
    return std::popcount(modifiers & fourModifiers) == 1;
}

std::string KeyCombo::display() const {
    std::string text;
    for (auto [flag, name] : {std::pair{control, "Ctrl+"}, std::pair{option, "Alt+"},
                              std::pair{shift, "Shift+"}, std::pair{command, "Super+"}})
        if ((modifiers & flag) != 0) text += name;
    return text + keyName(keyCode);
}

} // namespace ulmaro
