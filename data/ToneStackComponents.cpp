// Tone-stack component values and their 23 products, stored as constants (not computed at
// run time, so the coefficients do not depend on how a compiler folds the products).
#include "AudioTables.h"

// C1 = 470 pF, C2 = C3 = 22 nF, R1 = 220 k, R2 = 1 M, R3 = 25 k, R4 = 33 k.
const float kToneStackComponents[7] = {
    4.69999983e-10f, 2.2e-08f, 2.2e-08f, 220000.0f, 1000000.0f, 25000.0f, 33000.0f,
};

const float kToneStackTerms[23] = {
    0.000103399994f,   // K0  C1 R1
    0.000549999997f,   // K1  C3 R3
    0.0224699993f,     // K2  C1 R2 + C2 R2
    0.00056174997f,    // K3  C1 R3 + C2 R3
    1.50136799e-07f,   // K4  C1 C2 R1 R4 + C1 C3 R1 R4
    3.08962512e-07f,   // K5  C1 C3 R3^2 + C2 C3 R3^2
    3.65832506e-07f,   // K6  C1 C3 R1 R3 + C1 C3 R3^2 + C2 C3 R3^2
    2.95723976e-06f,   // K7  C1 C2 R1 R2 + C1 C2 R2 R4 + C1 C3 R2 R4
    1.23585005e-05f,   // K8  C1 C3 R2 R3 + C2 C3 R2 R3
    7.39309982e-08f,   // K9  C1 C2 R1 R3 + C1 C2 R3 R4 + C1 C3 R3 R4
    1.43881096e-09f,   // K10 C1 C2 C3 R1 R2 R3 + C1 C2 C3 R2 R3 R4
    3.59702754e-11f,   // K11 C1 C2 C3 R1 R3^2 + C1 C2 C3 R3^2 R4
    3.59702754e-11f,   // K12 same products as K11
    4.12876192e-11f,   // K13 C1 C2 C3 R1 R3 R4
    4.12876192e-11f,   // K14 same product as K13
    1.65150482e-09f,   // K15 C1 C2 C3 R1 R2 R4
    0.00211715f,       // K16 C1 R1 + C1 R3 + C2 R3 + C2 R4 + C3 R4
    -3.34675292e-08f,  // K17 C1 C3 R1 R3 - C2 C3 R3 R4 + C1 C3 R3^2 + C2 C3 R3^2
    1.23585005e-05f,   // K18 C1 C3 R2 R3 + C2 C3 R2 R3
    3.08962512e-07f,   // K19 C1 C3 R3^2 + C2 C3 R3^2
    1.89292405e-05f,   // K20 C1 C2 R2 R4 + C1 C2 R1 R2 + C1 C3 R2 R4 + C2 C3 R2 R4
    6.23367839e-07f,   // K21 C1 C2 R1 R4 + C1 C3 R1 R4 + C1 C2 R3 R4 + C1 C2 R1 R3
                       //     + C1 C3 R3 R4 + C2 C3 R3 R4
    -5.31734379e-12f,  // K22 C1 C2 C3 R3^2 R4 + C1 C2 C3 R1 R3^2 - C1 C2 C3 R1 R3 R4
};
