#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Look of the cabinet selector. Its menu goes inside the parent component named in the menu's
// options; the combo box names none, so the menu opens in a window of its own on the desktop,
// free to extend beyond the plug-in's window.
class ForcePopupsInParentWindow : public juce::LookAndFeel_V4
{
public:
    ~ForcePopupsInParentWindow() override;

    juce::Component* getParentComponentForMenuOptions(const juce::PopupMenu::Options& options) override;
};
