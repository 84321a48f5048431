#pragma once

#include <QString>

#include <memory>

// The terminal on standard input, one key at a time: raw mode (no echo, no line buffering)
// while an object of this class lives, given back as it was when it ends. Only where
// standard input is a terminal.
class RawTerminal {
public:
    enum class Key { None, Return, Escape, Other };
    struct Press {
        Key key = Key::None;
        char letter = 0; // lower-case, for Other
    };

    static bool isTerminal();

    RawTerminal();
    ~RawTerminal();
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    // Waits up to `ms` for a key. An Esc alone is Escape only after 50 ms with nothing behind
    // it: the arrow keys and their kin start with Esc too and are read whole and dropped.
    Press read(int ms);
    // A line of text, typed as usual (echo and editing back on for it).
    QString readLine();

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};
