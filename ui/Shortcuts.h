#pragma once
// The window's keyboard shortcuts. A shortcut acts only when Ctrl is held
// alone: no Shift, Alt or Meta and no mouse button. The key is never consumed.
#include <Qt>

enum class ShortcutAction {
    None,
    ToggleLive,           // Ctrl+L
    LanguageEnglish,      // Ctrl+F1
    LanguageItalian,      // Ctrl+F2
    LanguageFrench,       // Ctrl+F3
    LanguageSpanish,      // Ctrl+F4
    LanguageGerman,       // Ctrl+F5
    ForcePCBVersion,      // Ctrl+F9
    ToggleHints,          // Ctrl+F10
    ToggleTranslationTab, // Ctrl+F11
    ToggleCommandsTab,    // Ctrl+F12
};

bool IsShortcutModifierState(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
ShortcutAction ShortcutFor(int key, Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
