// Renders the editor to PNG files, headless: at 950 x 400 and 1900 x 800, with the default
// settings and with every switch flipped. Usage: editor_screenshots <output directory>
#include "MessagePump.h"
#include "PluginEditor.h"

#include <iostream>
#include <memory>

namespace
{
bool writePng(const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream stream(file);
    return stream.openedOk() && juce::PNGImageFormat().writeImageToStream(image, stream);
}

// Flips every on/off parameter the way a host would; the editor shows it at its next tick.
void flipSwitches(BrondavellJuceAudioProcessor& processor)
{
    for (auto* parameter : processor.getParameters())
        if (auto* onOff = dynamic_cast<juce::AudioParameterBool*>(parameter))
            onOff->setValueNotifyingHost(onOff->get() ? 0.0f : 1.0f);
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: editor_screenshots <output directory>\n";
        return 2;
    }
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    const juce::File directory = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]);
    directory.createDirectory();

    bool ok = true;
    for (const bool flipped : { false, true })
    {
        // On the heap: the processor holds all its DSP state by value.
        const auto owned = std::make_unique<BrondavellJuceAudioProcessor>();
        auto& processor = *owned;
        if (flipped)
            flipSwitches(processor);
        std::unique_ptr<juce::AudioProcessorEditor> editor(processor.createEditorIfNeeded());
        // Let the controls' first notifications and a few timer ticks run.
        pumpMessages(150);
        for (const int width : { 950, 1900 })
        {
            editor->setSize(width, width * 400 / 950);
            // The editor is opaque: drop the alpha channel, which keeps the files smaller.
            const auto image =
                editor->createComponentSnapshot(editor->getLocalBounds()).convertedToFormat(juce::Image::RGB);
            const auto name = juce::String("editor-") + juce::String(editor->getWidth()) + "x"
                + juce::String(editor->getHeight()) + (flipped ? "-switches-flipped" : "-default") + ".png";
            const auto file = directory.getChildFile(name);
            ok = writePng(image, file) && ok;
            std::cout << file.getFullPathName() << '\n';
        }
        processor.editorBeingDeleted(editor.get());
        editor.reset();
    }
    return ok ? 0 : 1;
}
