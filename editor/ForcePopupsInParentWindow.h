#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Look of the cabinet selector and its menu. The menu goes inside the parent component named in
// the menu's options; the combo box names none, so the menu opens in a window of its own on the
// desktop, free to extend beyond the plug-in's window. It is drawn in the panel's colours and
// caption face, with rows sized in the editor's canvas units (not from the combo box's height), so
// that the whole menu stays within the editor's height at every editor size.
class ForcePopupsInParentWindow final : public juce::LookAndFeel_V4
{
public:
    ForcePopupsInParentWindow();
    ~ForcePopupsInParentWindow() override;

    juce::Component* getParentComponentForMenuOptions(const juce::PopupMenu::Options& options) override;
    juce::PopupMenu::Options getOptionsForComboBoxPopupMenu(juce::ComboBox& box, juce::Label& label) override;
    juce::Font getComboBoxFont(juce::ComboBox& box) override;
    juce::Font getPopupMenuFont() override;

    // Menu rows in canvas units (the menu scales with the editor): 13 items of 18 and 5 headings
    // of 24 make a menu of about 360, under the canvas's 400.
    static constexpr int kMenuRowHeight = 18;
    static constexpr float kMenuFontHeight = 12.0f;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ForcePopupsInParentWindow)
};
