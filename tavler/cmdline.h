#pragma once

#include <span>
#include <string>
#include <vector>

// Splits command-line words into switches (words that begin with the switch
// token) and arguments (all other words). Each kind keeps at most `capacity`
// entries; further words of that kind are dropped without notice.
class CMDLine {
  public:
    static constexpr std::size_t capacity = 6;

    // Classifies argv[1] to argv[argc-1]; argv[0] is not looked at.
    CMDLine(int argc, const char* const* argv, char tokenChar);

    // Classifies argv[1] to argv[argc-1] and appends them to what is held.
    void setArgs(int argc, const char* const* argv);

    // Map a-z to A-Z (A-Z to a-z) in every stored argument, then every switch.
    void toUpper();
    void toLower();

    // True when the argument count lies in minArgs..maxArgs and every switch
    // equals, byte for byte, one of validSwitches[0] to validSwitches[arraySize]
    // (arraySize is the index of the last valid entry). Entries beyond the end
    // of `validSwitches` are never read.
    bool isValid(int minArgs, int maxArgs, std::span<const std::string> validSwitches,
                 int arraySize) const;

    int getArgCount() const { return static_cast<int>(arguments.size()); }
    int getSwitchCount() const { return static_cast<int>(switches.size()); }
    // The argument at position `i`, or an empty string past the end.
    std::string getArg(int i) const;
    // True when a stored switch equals `s` without regard to letter case.
    bool isSwitch(const std::string& s) const;
    // The whole words of the stored switches, token included, as given.
    const std::vector<std::string>& getSwitchWords() const { return switchWords; }

  private:
    char switchToken;
    std::vector<std::string> switches;
    std::vector<std::string> switchWords;
    std::vector<std::string> arguments;
};
