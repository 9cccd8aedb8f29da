// The symbol as a one-page vector PDF through cairo, written to memory: the page from the side
// and the runs alone, so that the private library that holds it needs nothing else of ours.

#include <cairo-pdf.h>
#include <cairo.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "formats.h"

namespace qrpicture {

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* Surface) const noexcept { cairo_surface_destroy(Surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* Context) const noexcept { cairo_destroy(Context); }
};

cairo_status_t AppendToBytes(void* Closure, const unsigned char* Data, unsigned int Length) {
    try {
        auto* Out = static_cast<TBytes*>(Closure);
        Out->insert(Out->end(), Data, Data + Length);
        return CAIRO_STATUS_SUCCESS;
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_NO_MEMORY;
    }
}

void SetColour(cairo_t* Context, const TColour& Colour) {
    cairo_set_source_rgba(Context, Colour.R / 255.0, Colour.G / 255.0, Colour.B / 255.0, Colour.A / 255.0);
}

void ThrowOnError(cairo_status_t Status) {
    if (Status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error(std::string("PDF error: ") + cairo_status_to_string(Status));
}

}  // namespace

TBytes DrawPdf(int Side, std::span<const TModuleRun> Runs, const TDrawing& Drawing) {
    TBytes Out;
    {
        const std::unique_ptr<cairo_surface_t, SurfaceDeleter> Surface(
            cairo_pdf_surface_create_for_stream(AppendToBytes, &Out, Side, Side));
        ThrowOnError(cairo_surface_status(Surface.get()));
        cairo_pdf_surface_set_metadata(Surface.get(), CAIRO_PDF_METADATA_CREATOR, "quandrel-qr");
        // No creation date (cairo would write the clock's): the same symbol always makes the
        // same file, whenever and however often it is made.
        cairo_pdf_surface_set_metadata(Surface.get(), CAIRO_PDF_METADATA_CREATE_DATE, "");
        {
            const std::unique_ptr<cairo_t, ContextDeleter> Context(cairo_create(Surface.get()));
            cairo_t* C = Context.get();
            // Module units from here on: whole numbers, so module edges meet exactly.
            cairo_scale(C, Drawing.ModuleSize, Drawing.ModuleSize);
            if (Drawing.Background.A != 0) {
                SetColour(C, Drawing.Background);
                cairo_paint(C);
            }
            if (Drawing.Foreground.A != 0) {
                // One path of all runs filled once, so no seam can show between modules.
                for (const TModuleRun& Run : Runs)
                    cairo_rectangle(C, Run.Column, Run.Row, Run.Length, 1);
                SetColour(C, Drawing.Foreground);
                cairo_fill(C);
            }
            ThrowOnError(cairo_status(C));
        }
        // Writes the rest of the file through AppendToBytes.
        cairo_surface_finish(Surface.get());
        ThrowOnError(cairo_surface_status(Surface.get()));
    }
    return Out;
}

}  // namespace qrpicture
