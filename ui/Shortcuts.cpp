#include "ui/Shortcuts.h"

bool IsShortcutModifierState(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    // The keypad flag says where a key is, not what is held.
    const Qt::KeyboardModifiers held = modifiers & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
    return held == Qt::ControlModifier && buttons == Qt::NoButton;
}

ShortcutAction ShortcutFor(int key, Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    if (!IsShortcutModifierState(modifiers, buttons))
        return ShortcutAction::None;
    switch (key) {
    case Qt::Key_L:
        return ShortcutAction::ToggleLive;
    case Qt::Key_F1:
        return ShortcutAction::LanguageEnglish;
    case Qt::Key_F2:
        return ShortcutAction::LanguageItalian;
    case Qt::Key_F3:
        return ShortcutAction::LanguageFrench;
    case Qt::Key_F4:
        return ShortcutAction::LanguageSpanish;
    case Qt::Key_F5:
        return ShortcutAction::LanguageGerman;
    case Qt::Key_F9:
        return ShortcutAction::ForcePCBVersion;
    case Qt::Key_F10:
        return ShortcutAction::ToggleHints;
    case Qt::Key_F11:
        return ShortcutAction::ToggleTranslationTab;
    case Qt::Key_F12:
        return ShortcutAction::ToggleCommandsTab;
    default:
        return ShortcutAction::None;
    }
}
