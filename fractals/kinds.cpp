// The Qt-free side of every kind, in template order (which is also the order of File New).
#include "kinds.h"

#include "cosine_rule.h"
#include "doc_types.h"
#include "henon_doc.h"
#include "ifs_doc.h"
#include "ifs_render.h"
#include "julia_doc.h"
#include "lsystem_batch.h"
#include "lsystem_doc.h"
#include "mandel_rule.h"

namespace fractals {

void registerCoreKinds()
{
    registerDocType({3,
                     "\nFractal\nIterated Function System\nIterated Function System "
                     "(*.ifs)\n.ifs\nFractals.IFS\nKaleidra 98 File",
                     "ifs", [] { return std::make_unique<CIfsDoc>(); }, nullptr, renderIfsBatch,
                     ifsBatchOptions()});
    registerDocType({4,
                     "\nFractal\nL-System Fractal\nL-System Fractal "
                     "(*.lsf)\n.lsf\nFractals.LSystem\nKaleidra 98 File",
                     "lsystem",
                     [] { return CLsystemDoc::makeNew(); },
                     nullptr,
                     renderLsystemBatch,
                     lsystemBatchOptions()});
    registerDocType(
        {6,
         "\nFractal\nHenon Map\nHenon Map (*.hmf)\n.hmf\nFractals.Henon\nKaleidra 98 File",
         "henon",
         [] { return std::make_unique<CHenonDoc>(); },
         [](const CFractalDoc& doc, int w, int h) -> std::unique_ptr<EscapeRule> {
             return std::make_unique<HenonRule>(static_cast<const CHenonDoc&>(doc), w, h);
         },
         nullptr,
         {}});
    registerDocType(
        {7,
         "\nFractal\nJulia Set\nJulia Set (*.jls)\n.jls\nFractals.Juliaset\nKaleidra 98 File",
         "julia",
         [] { return std::make_unique<CJuliaDoc>(); },
         [](const CFractalDoc& doc, int w, int h) -> std::unique_ptr<EscapeRule> {
             const auto& j = static_cast<const CJuliaDoc&>(doc);
             return makeJuliaRule(j.rect(), j.equation(), w, h);
         },
         nullptr,
         {}});
    registerDocType({8,
                     "\nFractal\nMandelbrot Set\nMandelbrot Set "
                     "(*.mnd)\n.mnd\nFractals.Mandel\nMandelbrot Sets File",
                     "mandel",
                     [] { return std::make_unique<CMandelDoc>(); },
                     [](const CFractalDoc& doc, int w, int h) -> std::unique_ptr<EscapeRule> {
                         const auto& m = static_cast<const CJuliaDoc&>(doc);
                         return std::make_unique<MandelRule>(m.rect(), m.equation(), w, h);
                     },
                     nullptr,
                     {}});
    registerDocType({9,
                     "\nFractal\nJulia Set w/ Cosines\nJulia Set w/ Cosines "
                     "(*.cjs)\n.cjs\nFractals.Juliacos\nKaleidra 98 File",
                     "juliacos",
                     [] { return std::make_unique<CJuliacosDoc>(); },
                     [](const CFractalDoc& doc, int w, int h) -> std::unique_ptr<EscapeRule> {
                         const auto& j = static_cast<const CJuliaDoc&>(doc);
                         return std::make_unique<CosineRule>(j.rect(), j.equation().a, w, h);
                     },
                     nullptr,
                     {}});
}

} // namespace fractals
