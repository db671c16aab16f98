#include "media/vips/HeifHdr.h"

#include <libheif/heif.h>

namespace marquelo::media {

HdrDescription heifHdrDescription(const void* bytes, std::size_t size)
{
    HdrDescription out;
    heif_context* context = heif_context_alloc();
    if (!context)
        return out;
    heif_image_handle* handle = nullptr;
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_context_read_from_memory_without_copy(context, bytes, size, nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
        heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx) {
        const auto transfer = nclx->transfer_characteristics;
        out.primaries = nclx->color_primaries == heif_color_primaries_ITU_R_BT_2020_2_and_2100_0 ? Primaries::Bt2020
                        : nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1           ? Primaries::DisplayP3
                                                                                                 : Primaries::Bt709;
        if (transfer == heif_transfer_characteristic_ITU_R_BT_2100_0_PQ)
            out.transfer = HdrTransfer::Pq;
        else if (transfer == heif_transfer_characteristic_ITU_R_BT_2100_0_HLG)
            out.transfer = HdrTransfer::Hlg;
    }
    if (nclx)
        heif_nclx_color_profile_free(nclx);
    if (handle)
        heif_image_handle_release(handle);
    heif_context_free(context);
    return out;
}

} // namespace marquelo::media
