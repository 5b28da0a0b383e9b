#include "ToneStack.h"

#include <cstring>

#include "AudioTables.h"
#include "Quantise.h"

ToneStack& ToneStack::operator=(const ToneStack& other)
{
    if (this != &other)
    {
        std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), sizeof(ToneStack));
        bPtr = other.bPtr == other.b ? b : other.bPtr;
        aPtr = other.aPtr == other.a ? a : other.aPtr;
    }
    return *this;
}

void toneStackConstruct(ToneStack& stack)
{
    std::memset(static_cast<void*>(&stack), 0, sizeof(ToneStack));
    stack.bPtr = stack.b;
    stack.aPtr = stack.a;
    stack.n = 4;
}

void toneStackPrepare(ToneStack& stack, float baseRate)
{
    for (int i = 0; i < 7; ++i)
        stack.comp[i] = kToneStackComponents[i];
    for (int k = 0; k < 4; ++k)
    {
        stack.b[k] = 0.0f;
        stack.a[k] = 0.0f;
    }
    stack.T = 1.0f / baseRate;
    stack.c = 2.0f / stack.T;
    stack.c2 = stack.c * stack.c;
    stack.c3 = stack.c * stack.c2;
    for (int k = 0; k < 23; ++k)
        stack.terms[k] = kToneStackTerms[k];
}

void toneStackSetControls(ToneStack& stack, float bass, float middle, float treble)
{
    const float* K = stack.terms;
    const float l = bass, m = middle, t = treble;
    const float lm = l * m;
    const float m2 = m * m;
    const float mt = m * t;
    const float tl = t * l;

    // Analog coefficients of the third-order model.
    const float b1 = ((K[0] * t + K[1] * m) + K[2] * l) + K[3];
    const float b2 = (K[8] * lm + (K[7] * l + (K[6] * m + (K[4] * t - K[5] * m2)))) + K[9];
    const float p = K[10] * lm - K[11] * m2;
    const float b3 = tl * K[15] + ((K[13] * t + (K[12] * m + p)) - mt * K[14]);
    const float a1 = (K[1] * m + K[16]) + K[2] * l;
    const float a2 = (K[20] * l + ((K[18] * lm + K[17] * m) - K[19] * m2)) + K[21];
    const float a3 = ((K[22] * m + p) + K[15] * l) + K[14];

    // Bilinear transform, s = c (1 - 1/z) / (1 + 1/z).
    const float c = stack.c, c2 = stack.c2, c3 = stack.c3;
    const float A0 = ((-1.0f - a1 * c) - a2 * c2) - a3 * c3;
    const float B0 = ((-b1 * c) - b2 * c2) - b3 * c3;
    const float B1 = (b2 * c2 - b1 * c) + c3 * (3.0f * b3);
    const float B2 = (b1 * c + b2 * c2) - c3 * (3.0f * b3);
    const float B3 = (b1 * c - b2 * c2) + b3 * c3;
    const float A1 = ((-3.0f - a1 * c) + a2 * c2) + (3.0f * a3) * c3;
    const float A2 = ((-3.0f + a1 * c) + a2 * c2) - (3.0f * a3) * c3;
    const float A3 = ((a1 * c - 1.0f) - a2 * c2) + a3 * c3;

    stack.b[0] = B0 / A0;
    stack.b[1] = B1 / A0;
    stack.b[2] = B2 / A0;
    stack.b[3] = B3 / A0;
    stack.a[0] = 1.0f;
    stack.a[1] = A1 / A0;
    stack.a[2] = A2 / A0;
    stack.a[3] = A3 / A0;
}

void toneStackProcess(ToneStack& stack, float* samples, int count)
{
    if (count <= 0)
        return;
    const int n = stack.n;
    const float* b = stack.bPtr;
    const float* a = stack.aPtr;
    float* X = stack.workX;
    float* Y = stack.workY;

    for (int k = 0; k < n; ++k)
    {
        X[k] = stack.xHist[k];
        Y[k] = stack.yHist[k];
    }
    for (int i = 0; i < count; ++i)
        X[n + i] = samples[i];

    if (n == 4)
    {
        // The same sums with the last inputs and outputs kept in registers, so that each output
        // feeds the next sample without a round trip through memory.
        ToneStackRun run(stack);
        for (int i = 0; i < count; ++i)
            Y[4 + i] = run(X[4 + i]);
    }
    else
    {
        for (int i = 0; i < count; ++i)
        {
            float acc = b[0] * X[n + i];
            for (int j = 1; j < n; ++j)
                acc = acc + ((b[j] * X[n + i - j]) - (a[j] * Y[n + i - j]));
            Y[n + i] = acc;
        }
    }

    // The history becomes the last n entries of X and Y. Entries that came from the block are
    // quantised; for a block of n samples or fewer the older entries still in the window are
    // the stored (already quantised) history, shifted down unchanged.
    for (int k = 0; k < n; ++k)
    {
        const int src = count + k;
        if (src < n)
        {
            stack.xHist[k] = X[src];
            stack.yHist[k] = Y[src];
        }
        else
        {
            stack.xHist[k] = quantiseState(X[src]);
            stack.yHist[k] = quantiseState(Y[src]);
        }
    }

    for (int i = 0; i < count; ++i)
        samples[i] = Y[n + i];
}
