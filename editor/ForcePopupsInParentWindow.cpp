#include "ForcePopupsInParentWindow.h"

#include "CaptionFont.h"
#include "EditorLayout.h"

ForcePopupsInParentWindow::ForcePopupsInParentWindow()
{
    setColour(juce::PopupMenu::backgroundColourId, juce::Colour(EditorLayout::kInset));
    setColour(juce::PopupMenu::textColourId, juce::Colour(EditorLayout::kInsetText));
    setColour(juce::PopupMenu::headerTextColourId, juce::Colour(EditorLayout::kDimInk));
    setColour(juce::PopupMenu::highlightedBackgroundColourId, juce::Colour(EditorLayout::kHighlight));
    setColour(juce::PopupMenu::highlightedTextColourId, juce::Colour(EditorLayout::kInk));
}

ForcePopupsInParentWindow::~ForcePopupsInParentWindow() = default;

juce::Component* ForcePopupsInParentWindow::getParentComponentForMenuOptions(const juce::PopupMenu::Options& options)
{
    return options.getParentComponent();
}

juce::PopupMenu::Options ForcePopupsInParentWindow::getOptionsForComboBoxPopupMenu(juce::ComboBox& box,
                                                                                   juce::Label& label)
{
    return LookAndFeel_V4::getOptionsForComboBoxPopupMenu(box, label).withStandardItemHeight(kMenuRowHeight);
}

juce::Font ForcePopupsInParentWindow::getComboBoxFont(juce::ComboBox& box)
{
    return captionFont(juce::jmin(16.0f, static_cast<float>(box.getHeight()) * 0.85f));
}

// Headings take their height from this font (1.3 times it, then half as much again).
juce::Font ForcePopupsInParentWindow::getPopupMenuFont() { return captionFont(kMenuFontHeight); }
