// Corvinta's entry point. For now it builds the organ model and its output
// engine, reports what it built, and closes in order; sound, MIDI and the
// window join as they are built.

#include "engine/OutputEngine.h"
#include "organ/Console.h"
#include "platform/StderrUserMessages.h"

#include <cstdio>

using namespace corvinta;

int main()
{
    StderrUserMessages messages;
    CConsole console(messages);
    console.Build();
    OutputEngine engine(console);
    console.SetOutput(&engine);
    if (!engine.StartWorker()) {
        ShowError(messages, "Cannot create worker thread!", "Corvinta Worker Thread Initialization");
        return 1;
    }
    std::printf("Corvinta Style 216: %d divisions, %d stops, %d ranks, %d tremulants, %d pistons.\n",
                console.DivisionCount(), console.StopCount(), kRankCount, console.TremulantCount(),
                console.PistonCount());
    engine.StopWorker();
    return 0;
}
