#pragma once
// Process-wide function pointers into the FFmpeg libraries, bound at run time.
//
// Every function the program calls is listed once below, under its library; the lists generate
// the pointers (ff::name), the binding and the unbinding. Call FFmpeg as ff::avcodec_open2(...).
// The headers are used for types only: nothing links against the libraries.
// Header-only inline helpers that call exported functions (av_err2str, av_make_error_string,
// av_q2d is fine: pure inline) must not be used: call the exported function instead.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/avutil.h>
#include <libavutil/cpu.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/eval.h>
#include <libavutil/fifo.h>
#include <libavutil/frame.h>
#include <libavutil/hwcontext.h>
#include <libavutil/imgutils.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdarg>
#include <cstdio>
#include <string>

// The run-time libraries, in the order of the library rows.
enum TAVLibrary {
    avcodec = 0,
    avcore = 1,   // the resampler library (swresample) today
    avdevice = 2,
    avfilter = 3,
    avformat = 4,
    avutil = 5,
    swscale = 6,
    msvcrt = 7,   // the C library
};
constexpr int AVLibraryCount = 8;

#define PIXAROLL_AVUTIL_FUNCS(X) \
    X(avutil_version) X(av_log) X(av_vlog) X(av_log_set_callback) X(av_log_set_level) \
    X(av_log_get_level) X(av_log_default_callback) X(av_log_format_line2) X(av_log_set_flags) \
    X(av_default_item_name) X(av_strerror) \
    X(av_malloc) X(av_mallocz) X(av_free) X(av_freep) X(av_strdup) \
    X(av_frame_alloc) X(av_frame_free) X(av_frame_get_buffer) X(av_frame_make_writable) \
    X(av_frame_unref) X(av_frame_ref) X(av_frame_clone) X(av_frame_copy_props) \
    X(av_rescale_q) X(av_rescale_q_rnd) X(av_rescale_rnd) X(av_rescale) X(av_compare_ts) \
    X(av_gettime) X(av_gettime_relative) X(av_usleep) X(av_d2q) X(av_reduce) \
    X(av_find_nearest_q_idx) \
    X(av_dict_set) X(av_dict_set_int) X(av_dict_get) X(av_dict_free) X(av_dict_copy) X(av_dict_count) \
    X(av_opt_set) X(av_opt_set_int) X(av_opt_set_q) X(av_opt_set_double) X(av_opt_set_bin) \
    X(av_opt_set_sample_fmt) X(av_opt_set_pixel_fmt) X(av_opt_set_chlayout) X(av_opt_get) \
    X(av_opt_find) X(av_opt_find2) X(av_opt_next) X(av_opt_set_defaults) X(av_opt_free) \
    X(av_opt_child_class_iterate) X(av_opt_child_next) X(av_opt_eval_flags) X(av_opt_set_dict) \
    X(av_get_pix_fmt) X(av_get_pix_fmt_name) X(av_pix_fmt_desc_get) X(av_get_bits_per_pixel) \
    X(av_get_sample_fmt) X(av_get_sample_fmt_name) X(av_get_bytes_per_sample) \
    X(av_sample_fmt_is_planar) X(av_get_packed_sample_fmt) X(av_samples_get_buffer_size) \
    X(av_samples_alloc) X(av_samples_copy) X(av_samples_set_silence) \
    X(av_image_get_buffer_size) X(av_image_fill_arrays) X(av_image_copy) X(av_image_alloc) \
    X(av_image_copy_to_buffer) X(av_image_fill_linesizes) \
    X(av_audio_fifo_alloc) X(av_audio_fifo_free) X(av_audio_fifo_write) X(av_audio_fifo_read) \
    X(av_audio_fifo_size) X(av_audio_fifo_drain) \
    X(av_fifo_alloc2) X(av_fifo_freep2) X(av_fifo_write) X(av_fifo_read) X(av_fifo_can_read) \
    X(av_channel_layout_default) X(av_channel_layout_uninit) X(av_channel_layout_copy) \
    X(av_channel_layout_describe) X(av_channel_layout_compare) X(av_channel_layout_from_mask) \
    X(av_get_media_type_string) X(av_parse_video_size) X(av_parse_video_rate) X(av_parse_time) \
    X(av_get_token) X(av_cpu_count) X(av_get_picture_type_char) X(av_buffer_ref) X(av_buffer_unref) \
    X(av_buffer_pool_init) X(av_buffer_pool_get) X(av_buffer_pool_uninit) \
    X(av_frame_is_writable) X(av_pix_fmt_desc_next) X(av_pix_fmt_desc_get_id) X(av_opt_get_int) \
    X(av_opt_get_double) X(av_opt_get_q) \
    X(av_image_get_linesize) \
    X(av_dynarray_add_nofree) \
    X(av_display_rotation_get) \
    X(av_expr_parse) X(av_expr_eval) X(av_expr_free)

// Bound when the loaded libavutil has them, else left null: hardware frames (devices, frame
// pools on the device, uploads). Callers check the pointer before the first call.
#define PIXAROLL_AVUTIL_OPTIONAL_FUNCS(X) \
    X(av_hwdevice_ctx_create) X(av_hwdevice_iterate_types) X(av_hwdevice_get_type_name) \
    X(av_hwframe_ctx_alloc) X(av_hwframe_ctx_init) X(av_hwframe_get_buffer) X(av_hwframe_transfer_data)

#define PIXAROLL_AVCODEC_FUNCS(X) \
    X(avcodec_version) X(avcodec_configuration) X(avcodec_license) \
    X(avcodec_find_encoder) X(avcodec_find_encoder_by_name) X(avcodec_find_decoder) \
    X(avcodec_find_decoder_by_name) X(av_codec_iterate) X(av_codec_is_encoder) X(av_codec_is_decoder) \
    X(avcodec_alloc_context3) X(avcodec_free_context) X(avcodec_open2) X(avcodec_get_class) \
    X(avcodec_parameters_alloc) X(avcodec_parameters_free) X(avcodec_parameters_copy) \
    X(avcodec_parameters_to_context) X(avcodec_parameters_from_context) \
    X(avcodec_send_packet) X(avcodec_receive_frame) X(avcodec_send_frame) X(avcodec_receive_packet) \
    X(avcodec_flush_buffers) X(avcodec_get_name) X(avcodec_descriptor_get) \
    X(avcodec_descriptor_get_by_name) X(avcodec_string) X(av_get_profile_name) \
    X(av_packet_alloc) X(av_packet_free) X(av_packet_unref) X(av_packet_ref) X(av_packet_clone) \
    X(av_packet_rescale_ts) X(av_new_packet) X(av_packet_from_data) X(av_grow_packet) \
    X(av_shrink_packet) X(av_packet_move_ref) \
    X(av_bsf_get_by_name) X(av_bsf_alloc) X(av_bsf_init) X(av_bsf_send_packet) \
    X(av_bsf_receive_packet) X(av_bsf_free) \
    X(av_packet_new_side_data) X(av_packet_get_side_data) \
    X(avcodec_decode_subtitle2) X(avcodec_encode_subtitle) X(avsubtitle_free) \
    X(av_get_bits_per_sample) X(av_get_exact_bits_per_sample) X(avcodec_get_type)

#define PIXAROLL_AVFORMAT_FUNCS(X) \
    X(avformat_version) X(avformat_alloc_context) X(avformat_free_context) X(avformat_open_input) \
    X(avformat_close_input) X(avformat_find_stream_info) X(av_read_frame) X(av_seek_frame) \
    X(avformat_seek_file) X(avformat_alloc_output_context2) X(avformat_new_stream) \
    X(avformat_write_header) X(avformat_init_output) X(av_write_trailer) \
    X(av_interleaved_write_frame) X(av_write_frame) \
    X(avio_open) X(avio_open2) X(avio_closep) X(avio_alloc_context) X(avio_context_free) \
    X(avio_size) X(avio_seek) X(avio_read) X(avio_write) X(avio_flush) \
    X(av_find_input_format) X(av_guess_format) X(av_muxer_iterate) X(av_demuxer_iterate) \
    X(av_dump_format) X(avformat_get_class) X(av_find_best_stream) X(avformat_query_codec) \
    X(av_guess_frame_rate) X(av_guess_sample_aspect_ratio) X(avformat_match_stream_specifier) \
    X(av_filename_number_test) \
    X(av_stream_new_side_data) X(av_sdp_create) X(av_stream_get_codec_timebase) \
    X(av_guess_codec) X(av_pkt_dump_log2) \
    X(av_codec_get_id) X(av_codec_get_tag2) \
    X(av_stream_get_side_data) X(avformat_index_get_entries_count) X(avformat_index_get_entry)

#define PIXAROLL_SWSCALE_FUNCS(X) \
    X(swscale_version) X(sws_getContext) X(sws_getCachedContext) X(sws_scale) X(sws_freeContext) \
    X(sws_get_class) X(sws_alloc_context) X(sws_init_context) X(sws_isSupportedInput) \
    X(sws_isSupportedOutput)

#define PIXAROLL_SWRESAMPLE_FUNCS(X) \
    X(swresample_version) X(swr_alloc) X(swr_alloc_set_opts2) X(swr_init) X(swr_free) \
    X(swr_convert) X(swr_get_delay) X(swr_get_out_samples) X(swr_is_initialized) \
    X(swr_set_compensation) X(swr_inject_silence)

#define PIXAROLL_AVFILTER_FUNCS(X) \
    X(avfilter_version) X(avfilter_graph_alloc) X(avfilter_graph_free) X(avfilter_get_by_name) \
    X(avfilter_graph_create_filter) X(avfilter_graph_parse_ptr) X(avfilter_graph_config) \
    X(avfilter_inout_alloc) X(avfilter_inout_free) X(avfilter_link) \
    X(av_buffersrc_add_frame_flags) X(av_buffersink_get_frame) \
    X(av_buffersink_get_w) X(av_buffersink_get_h) X(av_buffersink_get_time_base) \
    X(av_buffersink_get_sample_aspect_ratio) X(avfilter_graph_get_filter)

#define PIXAROLL_AVDEVICE_FUNCS(X) X(avdevice_version) X(avdevice_register_all)

#define PIXAROLL_LIBC_FUNCS(X) \
    X(vsnprintf) X(fopen) X(fclose) X(fread) X(fwrite) X(fflush) \
    X(fseek) X(ftell)

namespace ff {
#define PIXAROLL_FF_DECLARE(name) extern decltype(&::name) name;
PIXAROLL_AVUTIL_FUNCS(PIXAROLL_FF_DECLARE)
PIXAROLL_AVUTIL_OPTIONAL_FUNCS(PIXAROLL_FF_DECLARE)
PIXAROLL_AVCODEC_FUNCS(PIXAROLL_FF_DECLARE)
PIXAROLL_AVFORMAT_FUNCS(PIXAROLL_FF_DECLARE)
PIXAROLL_SWSCALE_FUNCS(PIXAROLL_FF_DECLARE)
PIXAROLL_SWRESAMPLE_FUNCS(PIXAROLL_FF_DECLARE)
PIXAROLL_AVFILTER_FUNCS(PIXAROLL_FF_DECLARE)
PIXAROLL_AVDEVICE_FUNCS(PIXAROLL_FF_DECLARE)
#undef PIXAROLL_FF_DECLARE
namespace libc {
#define PIXAROLL_FF_DECLARE(name) extern decltype(&::name) name;
PIXAROLL_LIBC_FUNCS(PIXAROLL_FF_DECLARE)
#undef PIXAROLL_FF_DECLARE
} // namespace libc

// Binds every function of one library from an opened module, in list order. On failure returns
// false, leaves the library's pointers cleared and puts the first missing symbol's name in
// missingSymbol and, in the second form, the dynamic linker's text for it in systemText.
bool BindLibrary(TAVLibrary lib, void* module, std::string& missingSymbol);
bool BindLibrary(TAVLibrary lib, void* module, std::string& missingSymbol, std::string& systemText);
// Clears every function pointer of one library.
void UnbindLibrary(TAVLibrary lib);
} // namespace ff
