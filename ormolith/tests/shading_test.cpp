// Prepared colours and the light terms, checked against numbers worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "affine_scene.h"
#include "shading.h"

using namespace ormolith;

TEST(Colours, EffectiveColourScalesTheBrightestToTheLuminiscence)
{
    EXPECT_EQ(effectiveColour({0, 1, 1, 0.5}), (Rgb{0, 0.5, 0.5}));
    EXPECT_EQ(effectiveColour({-1, 0.5, 0.25, 2}), (Rgb{0, 2, 1}));
    EXPECT_EQ(effectiveColour({0, 0, 0, 3}), (Rgb{0, 0, 0}));
    EXPECT_EQ(effectiveColour({-1, -2, -3, 1}), (Rgb{0, 0, 0}));
}

TEST(Colours, ConversionRoundsSaturatesAndClampsNegatives)
{
    EXPECT_EQ(colourByte(0.5, 1), 128); // 127.5 rounds up
    EXPECT_EQ(colourByte(1.0, 1), 255);
    EXPECT_EQ(colourByte(7.0, 1), 255); // sums above 1 saturate
    EXPECT_EQ(colourByte(4.5, 9), 128); // the mean of nine passes
    EXPECT_EQ(colourByte(-0.3, 1), 0);  // a smoothed normal facing away
    EXPECT_EQ(colourByte(std::nan(""), 1), 0);
}

TEST(Colours, PreparationFollowsAdvancedColoursAndAttachments)
{
    AffineScene scene;
    scene.lightCount = 3;
    scene.lights[0].diffuse = {2, 1, 0, 1};
    scene.lights[0].specular = {0, 0, 1, 5};
    scene.lights[0].attenuationConstant = 7;
    scene.lights[1].kind = kSpot;
    scene.lights[1].attachment = 1; // Camera
    scene.lights[1].position = {1, 2, 3};
    scene.lights[1].direction = {0, 0, 2};
    scene.lights[1].spotAngle = 60;
    scene.lights[2].kind = kParallel;
    scene.lights[2].direction = {0, 0, 0}; // no direction: switched off
    scene.materials[0].diffuse = {1, 0.5, 0, 2};
    scene.materials[0].specular = {0, 1, 0, 0.4};
    scene.materials[0].ambient = {0, 0, 1, 3};
    scene.materials[5].diffuse = {0, 0, 1, 1};
    CameraFrame frame;
    frame.right = {0, 0, -1};
    frame.up = {0, 1, 0};
    frame.forward = {1, 0, 0};
    frame.eye = {10, 0, 0};

    PreparedShading p = prepareShading(scene, frame);
    ASSERT_EQ(p.lightCount, 3);
    // Advanced colours Off: specular = diffuse, attenuation (0, 0, 1).
    EXPECT_EQ(p.lights[0].diffuse, (Rgb{1, 0.5, 0}));
    EXPECT_EQ(p.lights[0].specular, (Rgb{1, 0.5, 0}));
    EXPECT_EQ(p.lights[0].constant, 0);
    EXPECT_EQ(p.lights[0].quadratic, 1);
    // A camera spot: position and direction in the camera's frame.
    EXPECT_EQ(p.lights[1].position, (Vec3{10 + 3, 2, -1}));
    EXPECT_EQ(p.lights[1].direction, (Vec3{1, 0, 0}));
    // cos 60 degrees, through the lights' own degree constant (not quite pi / 180).
    EXPECT_NEAR(p.lights[1].cosSpot, 0.5, 1e-7);
    EXPECT_NE(p.lights[1].cosSpot, std::cos(60 * 0.017453292519943295));
    EXPECT_EQ(p.lights[2].diffuse, (Rgb{}));
    // Materials: Attachment "None" copies material 1 everywhere; highlights are white and the
    // ambient colour is the diffuse one.
    EXPECT_EQ(p.materials[5].diffuse, (Rgb{2, 1, 0}));
    EXPECT_EQ(p.materials[0].specular, (Rgb{0.4, 0.4, 0.4}));
    EXPECT_EQ(p.materials[0].ambient, (Rgb{3, 1.5, 0}));

    scene.advancedColors = 1;
    scene.materialAttachment = 0;
    p = prepareShading(scene, frame);
    EXPECT_EQ(p.lights[0].specular, (Rgb{0, 0, 5}));
    EXPECT_EQ(p.lights[0].constant, 7);
    EXPECT_EQ(p.materials[5].diffuse, (Rgb{0, 0, 1}));
    EXPECT_EQ(p.materials[0].ambient, (Rgb{0, 0, 3}));
}

TEST(Lights, LampAttenuationSpotConeAndFacing)
{
    PreparedLight lamp;
    lamp.kind = kLamp;
    lamp.diffuse = {1, 1, 1};
    lamp.specular = {0, 0, 0};
    lamp.position = {0, 0, -2};
    PreparedMaterial m;
    m.diffuse = {1, 1, 1};
    m.shininess = 5;
    const Vec3 n{0, 0, -1}, d{0, 0, 1};
    // Distance 2 with attenuation (0, 0, 1): a quarter of the intensity at distance 1.
    Vec3 p{0, 0, 0};
    const Rgb far = lightContribution(lamp, m, n, d, lightVector(lamp, p), 1);
    lamp.position = {0, 0, -1};
    const Rgb near = lightContribution(lamp, m, n, d, lightVector(lamp, p), 1);
    EXPECT_DOUBLE_EQ(near.r, 1.0);
    EXPECT_DOUBLE_EQ(far.r, 0.25);
    // The weight scales everything.
    EXPECT_DOUBLE_EQ(lightContribution(lamp, m, n, d, lightVector(lamp, p), 0.5).g, 0.5);

    // Spot: s is taken between the viewing ray d and the beam. A point far off the beam (45
    // degrees seen from the light would leave it dark) is lit when the ray looks along the beam.
    PreparedLight spot = lamp;
    spot.kind = kSpot;
    spot.position = {0, 0, -1};
    spot.direction = {0, 0, 1};
    spot.beam = 0;
    spot.cosSpot = spot.cosEndSpot = std::cos(45 * kLightDegreesToRadians);
    const Vec3 offBeam{2, 0, 0};
    const double r2 = dot(offBeam - spot.position, offBeam - spot.position);
    EXPECT_NEAR(lightContribution(spot, m, n, d, lightVector(spot, offBeam), 1).r, 1 / r2, 1e-12);
    // With Spot angle = End spot angle the edge is hard, and s exactly cos(End spot angle) gets
    // nothing (s = 0.8 for this ray).
    auto ray = [](double degrees) {
        const double a = degrees * kLightDegreesToRadians;
        return Vec3{std::sin(a), 0, std::cos(a)};
    };
    EXPECT_GT(lightContribution(spot, m, n, ray(30), lightVector(spot, p), 1).r, 0);
    EXPECT_EQ(lightContribution(spot, m, n, ray(50), lightVector(spot, p), 1).r, 0);
    PreparedLight edge = spot;
    edge.cosSpot = edge.cosEndSpot = 0.8;
    EXPECT_EQ(lightContribution(edge, m, n, {0.6, 0, 0.8}, lightVector(edge, p), 1).r, 0);
    // Between the cones the light fades linearly in s, on top of s^Beam distribution; the
    // diffuse factor is -(n . d) = cos 50.
    spot.cosEndSpot = std::cos(60 * kLightDegreesToRadians);
    spot.beam = 2;
    const double s50 = std::cos(50 * kLightDegreesToRadians);
    const double fade = (s50 - spot.cosEndSpot) / (spot.cosSpot - spot.cosEndSpot);
    EXPECT_NEAR(lightContribution(spot, m, n, ray(50), lightVector(spot, p), 1).r,
                s50 * s50 * s50 * fade, 1e-12);

    // A surface facing away from the light is not lit by it (the caller's lit test).
    EXPECT_FALSE(dot(Vec3{0, 0, 1}, lightVector(lamp, p)) < 0);
    EXPECT_TRUE(dot(n, lightVector(lamp, p)) < 0);
}

TEST(Lights, DegenerateLightsAddNothingRatherThanInfinities)
{
    PreparedLight lamp;
    lamp.kind = kLamp;
    lamp.diffuse = {1, 1, 1};
    lamp.specular = {1, 1, 1};
    PreparedMaterial m;
    m.diffuse = m.specular = {1, 1, 1};
    m.shininess = 2.5; // a fractional power of a negative base would be NaN
    const Vec3 n{0, 0, -1}, d{0, 0, 1};
    // A lamp sitting on the point: no finite intensity there.
    lamp.position = {0, 0, 0};
    EXPECT_EQ(lightContribution(lamp, m, n, d, lightVector(lamp, {0, 0, 0}), 1), (Rgb{}));
    // Attenuation all zero (possible with Advanced colors On).
    lamp.position = {0, 0, -1};
    lamp.quadratic = 0;
    EXPECT_EQ(lightContribution(lamp, m, n, d, lightVector(lamp, {0, 0, 0}), 1), (Rgb{}));
    // Attenuation that sums to a negative number is divided by all the same: a negative light.
    lamp.constant = -0.75; // with Quadratic 1 at distance 0.5: -0.5
    lamp.quadratic = 1;
    lamp.position = {0, 0, -0.5};
    m.specular = {0, 0, 0};
    EXPECT_DOUBLE_EQ(lightContribution(lamp, m, n, d, lightVector(lamp, {0, 0, 0}), 1).r, -2.0);
    lamp.constant = 0;
    lamp.position = {0, 0, -1};
    m.specular = {1, 1, 1};
    // A smoothed normal turned away from the half vector: no highlight, and nothing undefined.
    lamp.quadratic = 1;
    const Rgb c = lightContribution(lamp, m, {0, 0, 1}, d, lightVector(lamp, {0, 0, 0}), 1);
    EXPECT_TRUE(std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b));
    EXPECT_DOUBLE_EQ(c.r, -1.0); // only the negative diffuse term; the conversion makes it 0
    // With a whole Shininess the power of the negative base keeps its sign: (-1)^3 x 4 - 1.
    m.shininess = 3;
    EXPECT_DOUBLE_EQ(lightContribution(lamp, m, {0, 0, 1}, d, lightVector(lamp, {0, 0, 0}), 1).r,
                     -5.0);
}
