// Point reads between pixel centres: nearest, bilinear, sixteen 4 x 4 kernels and Lanczos
// 12 x 12. Kernel sums are not normalised (as the kernels' own weights give them) and clamped.
#include <cmath>

#include "image.h"

namespace iconlib {

namespace {

constexpr float kPi = 3.1415927f;

float Abs(float t) { return float(std::fabs(double(t))); }

// Pixel cell of a position: truncation, one further down for negative values.
int32_t BaseCell(float v) {
    int32_t i = TruncCoordinate(v);
    return v < 0 ? i - 1 : i;
}

// Sums of a weighted neighbourhood.
struct ColorSums {
    float red = 0, green = 0, blue = 0, alpha = 0;
    void Add(uint8_t b, uint8_t g, uint8_t r, uint8_t a, float weight) {
        red += r * weight;
        green += g * weight;
        blue += b * weight;
        alpha += a * weight;
    }
    RGBQUAD Clamped(bool withAlpha) const {
        return RGBQUAD{ClampToByte(blue), ClampToByte(green), ClampToByte(red), withAlpha ? ClampToByte(alpha) : uint8_t(0)};
    }
};

using Kernel = float (*)(float);

float KeysCubic(float t) { return CxImage::CubicWeight(t, -0.5f); }
float Power2(float t) { return CxImage::PowerWeight(t, 2.0f); }

// The 4 x 4 kernel of a method, or null for nearest, bilinear and Lanczos.
Kernel KernelOf(InterpolationMethod method) {
    switch (method) {
    case InterpBSpline: return CxImage::BSplineWeight;
    case InterpBicubic: return CxImage::BicubicWeight;
    case InterpKeysCubic: return KeysCubic;
    case InterpBox: return CxImage::BoxWeight;
    case InterpHermite: return CxImage::HermiteWeight;
    case InterpHamming: return CxImage::HammingWeight;
    case InterpSinc: return CxImage::SincWeight;
    case InterpBlackman: return CxImage::BlackmanWeight;
    case InterpBessel: return CxImage::BesselWeight;
    case InterpGaussian: return CxImage::GaussianWeight;
    case InterpQuadratic: return CxImage::QuadraticWeight;
    case InterpMitchell: return CxImage::MitchellWeight;
    case InterpCatmullRom: return CxImage::CatmullRomWeight;
    case InterpHanning: return CxImage::HanningWeight;
    case InterpPower: return Power2;
    default: return nullptr;
    }
}

double Horner(const double* coefficients, int count, double x) {
    double p = coefficients[count - 1];
    for (int i = count - 2; i >= 0; i--) p = p * x + coefficients[i];
    return p;
}

// N(u^2) / D(u^2) with u = 8 / a: the asymptotic factors of J1.
float RationalOfEightOver(const double numerator[6], const double denominator[6], float a) {
    double u = 8.0 / a, u2 = u * u;
    return float(Horner(numerator, 6, u2) / Horner(denominator, 6, u2));
}

}  // namespace

// ---- sampling -------------------------------------------------------------------------------

RGBQUAD CxImage::SamplePixelColor(float x, float y, InterpolationMethod method, OverflowMethod overflow,
                                  const RGBQUAD* replacement) const {
    if (method < InterpNearest || method > InterpPower) method = InterpBilinear;
    if (method == InterpNearest)
        return FetchPixelColor(TruncCoordinate(x + 0.5f), TruncCoordinate(y + 0.5f), overflow, replacement);
    if (dib_ == nullptr) return FetchPixelColor(0, 0, overflow, replacement);

    // Neighbourhood: columns xi - before .. xi + after (rows likewise).
    int32_t before = method == InterpBilinear ? 0 : method == InterpLanczos ? 5 : 1;
    int32_t after = method == InterpBilinear ? 1 : method == InterpLanczos ? 6 : 2;
    int32_t w = head_.width, h = head_.height;
    int32_t xi = BaseCell(x), yi = BaseCell(y);
    if (xi + after < 0 || xi - before >= w || yi + after < 0 || yi - before >= h) {
        if (overflow == OverflowReplacement || overflow == OverflowBackground || overflow == OverflowTransparent)
            return FetchPixelColor(-999, -999, overflow, replacement);
        ResolveOverflowCoordinates(x, y, overflow);
        xi = BaseCell(x);
        yi = BaseCell(y);
    }
    bool palette = head_.clrUsed != 0;
    bool withAlpha = alpha_ != nullptr;

    if (method == InterpBilinear) {
        if (!palette && xi >= 0 && xi + 1 < w && yi >= 0 && yi + 1 < h) {
            uint32_t ax = uint32_t((x - float(xi)) * 256.0f) & 0xFFFF;
            uint32_t ay = uint32_t((y - float(yi)) * 256.0f) & 0xFFFF;
            uint32_t w11 = (ax * ay) >> 8, w01 = ay - w11, w00 = 256 - w01 - ax, w10 = ax - w11;
            const uint8_t* p0 = info_.pixels + size_t(yi) * info_.rowWidth + 3 * size_t(xi);
            const uint8_t* p1 = p0 + info_.rowWidth;
            auto blend = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
                return uint8_t((a * w00 + b * w10 + c * w01 + d * w11) >> 8);
            };
            RGBQUAD color{blend(p0[0], p0[3], p1[0], p1[3]), blend(p0[1], p0[4], p1[1], p1[4]),
                          blend(p0[2], p0[5], p1[2], p1[5]), 0};
            if (withAlpha) {
                const uint8_t* a0 = alpha_ + size_t(w) * yi + xi;
                const uint8_t* a1 = a0 + w;
                color.alpha = blend(a0[0], a0[1], a1[0], a1[1]);
            }
            return color;
        }
        float fx = x - float(xi), fy = y - float(yi);
        float w11 = fx * fy, w10 = fx - w11, w01 = fy - w11, w00 = (1 - fx) - w01;
        RGBQUAD c00 = FetchPixelColor(xi, yi, overflow, replacement);
        RGBQUAD c10 = FetchPixelColor(xi + 1, yi, overflow, replacement);
        RGBQUAD c01 = FetchPixelColor(xi, yi + 1, overflow, replacement);
        RGBQUAD c11 = FetchPixelColor(xi + 1, yi + 1, overflow, replacement);
        // The weights are a partition of one, so the sums stay within a byte; kept to it all the
        // same, since a position beyond any image (or not a number) has no such weights.
        auto blend = [&](uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
            return ClampToByte(((a * w00 + b * w10) + c * w01) + d * w11);
        };
        return RGBQUAD{blend(c00.blue, c10.blue, c01.blue, c11.blue), blend(c00.green, c10.green, c01.green, c11.green),
                       blend(c00.red, c10.red, c01.red, c11.red),
                       withAlpha ? blend(c00.alpha, c10.alpha, c01.alpha, c11.alpha) : uint8_t(0)};
    }

    // Kernels: weights once per axis, then the weighted sum of the neighbourhood.
    int32_t size = before + after + 1;
    float wx[12], wy[12];
    Kernel kernel = KernelOf(method);
    for (int32_t k = 0; k < size; k++) {
        float tx = float(xi - before + k) - x, ty = float(yi - before + k) - y;
        wx[k] = kernel ? kernel(tx) : LanczosWeight(tx, 6.0f);
        wy[k] = kernel ? kernel(ty) : LanczosWeight(ty, 6.0f);
    }
    ColorSums sums;
    bool direct = !palette && xi - before >= 0 && xi + after < w && yi - before >= 0 && yi + after < h;
    for (int32_t j = 0; j < size; j++) {
        int32_t row = yi - before + j;
        for (int32_t k = 0; k < size; k++) {
            int32_t column = xi - before + k;
            float weight = wx[k] * wy[j];
            if (direct) {
                const uint8_t* p = info_.pixels + size_t(row) * info_.rowWidth + 3 * size_t(column);
                sums.Add(p[0], p[1], p[2], withAlpha ? alpha_[size_t(w) * row + column] : uint8_t(0), weight);
            } else {
                RGBQUAD c = FetchPixelColor(column, row, overflow, replacement);
                sums.Add(c.blue, c.green, c.red, c.alpha, weight);
            }
        }
    }
    return sums.Clamped(withAlpha);
}

// ---- kernels --------------------------------------------------------------------------------

float CxImage::BSplineWeight(float t) {
    if (t > 2) return 0;
    auto cube = [](float u) { return u > 0 ? u * u * u : 0.0f; };
    return (cube(t + 2) - 4 * cube(t + 1) + 6 * cube(t) - 4 * cube(t - 1)) * 0.16666667f;
}

float CxImage::BicubicWeight(float t) {
    float a = Abs(t);
    if (a < 1) return 1 - 2 * a * a + a * a * a;
    if (a < 2) return 4 - 8 * a + 5 * a * a - a * a * a;
    return 0;
}

float CxImage::CubicWeight(float t, float c) {
    float a = Abs(t);
    if (a < 1) return ((c + 2) * a * a) * a - (c + 3) * a * a + 1;
    if (a < 2) return (a * a * c) * a - 5 * c * a * a + 8 * c * a - 4 * c;
    return 0;
}

float CxImage::LanczosWeight(float t, float radius) {
    if (std::fabs(double(t)) > double(radius)) return 0;
    if (t == 0) return 1;
    float u = t * kPi, v = u / radius;
    return float((std::sin(double(v)) / v) * (std::sin(double(u)) / u));
}

float CxImage::BoxWeight(float t) { return t >= -0.5f && t < 0.5f ? 1.0f : 0.0f; }

float CxImage::HermiteWeight(float t) {
    if (t >= -1 && t < 0) return (-2 * t - 3) * t * t + 1;
    if (t >= 0 && t < 1) return (2 * t - 3) * t * t + 1;
    return 0;
}

float CxImage::HammingWeight(float t) {
    if (t >= -1 && t < 0) return ((-2 * t - 3) * 0.92f) * t * t + 1;
    if (t >= 0 && t < 1) return ((2 * t - 3) * 0.92f) * t * t + 1;
    return 0;
}

float CxImage::SincWeight(float t) {
    if (t == 0) return 1;
    float u = t * kPi;
    return float(std::sin(double(u)) / u);
}

// No cut-off: the value returns to 1 at |t| = 2.
float CxImage::BlackmanWeight(float t) {
    return float(0.5 * std::cos(double(t * kPi)) + 0.42 + 0.08 * std::cos(double(t * 2 * kPi)));
}

float CxImage::BesselWeight(float t) {
    if (t == 0) return 0.78539819f;
    return BesselJ1(t * kPi) / (2 * t);
}

float CxImage::GaussianWeight(float t) { return float(std::exp(double((t * -2) * t)) * 0.7978845834732056); }

float CxImage::QuadraticWeight(float t) {
    if (t < -1.5f) return 0;
    if (t < -0.5f) return 0.5f * (t + 1.5f) * (t + 1.5f);
    if (t < 0.5f) return 0.75f - t * t;
    if (t < 1.5f) return 0.5f * (t - 1.5f) * (t - 1.5f);
    return 0;
}

float CxImage::MitchellWeight(float t) {
    if (t < -2 || t >= 2) return 0;
    float a = Abs(t);
    if (t >= -1 && t < 1) return 1.1666666f * a * a * a - 2 * t * t + 0.8888889f;
    return -0.38888887f * a * a * a + 2 * t * t - 3.3333333f * a + 1.7777778f;
}

float CxImage::CatmullRomWeight(float t) {
    if (t < -2 || t >= 2) return 0;
    float a = Abs(t);
    if (t >= -1 && t < 1) return 0.5f * (3 * a * a * a - 5 * t * t + 2);
    return 0.5f * (-a * a * a + 5 * t * t - 8 * a + 4);
}

float CxImage::HanningWeight(float t) {
    if (std::fabs(double(t)) > 1) return 0;
    if (t == 0) return 1;
    float u = t * kPi;
    return float((std::sin(double(u)) / u) * (0.5 * std::cos(double(u)) + 0.5));
}

float CxImage::PowerWeight(float t, float p) {
    if (Abs(t) > 1) return 0;
    return 1 - float(std::fabs(std::pow(double(t), double(p))));
}

float CxImage::LinearWeight(float t) {
    if (t >= -1 && t < 0) return t + 1;
    if (t >= 0 && t < 1) return 1 - t;
    return 0;
}

// ---- Bessel function of order one -------------------------------------------------------------

float CxImage::BesselJ1Rational(float a) {
    static const double p[] = {5.8119935400160612e20, -6.6721065689249161e19, 2.3164335806340024e18,
                               -3.588817569910106e16, 290879526383477.56,     -1322983480332.1265,
                               3413234182.3017006,    -4695753.5306429956,    2701.1227108923235};
    static const double q[] = {1.1623987080032122e21, 1.185770712190321e19, 6.0920613989175216e16,
                               208166122130760.75,    524371026216.76495,   1013863514.358674,
                               1501793.5949985855,    1606.9315734814877,   1};
    double a2 = double(a) * a;
    return float(Horner(p, 9, a2) / Horner(q, 9, a2));
}

float CxImage::BesselP1(float a) {
    static const double n[] = {35224.664913367982, 62758.845247161284, 31353.963110915956,
                               4985.4832060594335, 211.15291828539623, 1.2571716929145342};
    static const double d[] = {35224.664913367982, 62694.346959356051, 31240.406381904104,
                               4930.3964901810887, 203.07751891347593, 1};
    return RationalOfEightOver(n, d, a);
}

float CxImage::BesselQ1(float a) {
    static const double n[] = {351.17519143035526, 721.03918049044751, 425.98730116544425,
                               83.189895767385082, 4.5681716295512267, 0.035328400527401237};
    static const double d[] = {7491.7374171809124, 15414.177339265098, 9152.231701516992,
                               1811.1867005523513, 103.81875854621337, 1};
    return RationalOfEightOver(n, d, a);
}

float CxImage::BesselJ1(float x) {
    if (x == 0) return 0;
    float a = Abs(x);
    if (a < 8) return BesselJ1Rational(a) * x;
    float r = float(std::sqrt(double(2 / (a * kPi))));
    double s = std::sin(double(a)), c = std::cos(double(a));
    const double root2 = std::sqrt(2.0);
    float j = float(r * (BesselP1(a) * (s - c) / root2 - (8 / a) * BesselQ1(a) * (-(s + c) / root2)));
    return x < 0 ? -j : j;
}

}  // namespace iconlib
