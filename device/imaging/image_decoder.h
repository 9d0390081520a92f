// ImageDecoder: the imaging library's IImageDecoder. InitDecoder reads the stream once and
// decodes every frame; BeginDecode / Decode / EndDecode then push the selected frame into a
// sink, a band of rows per Decode call, answering E_PENDING until the last band is in.
// One decoder is used by one thread at a time, as on the platform.
#pragma once

#include <imaging.h>

#include <memory>

#include "com/com_object.h"
#include "imaging/decoded_image.h"

namespace pellix::device::imaging {

// Reads a stream from its position to its end (at most 64 MiB).
Result<std::vector<uint8_t>> ReadWholeStream(IStream* stream);

class ImageDecoder final : public com::ComObject<IImageDecoder> {
 public:
  static ImageDecoder* Create() { return new ImageDecoder(); }

  // Rows pushed to the sink per Decode call.
  static constexpr int kRowsPerStep = 64;

  STDMETHODIMP InitDecoder(IStream* stream, DecoderInitFlag flags) override;
  STDMETHODIMP TerminateDecoder() override;
  STDMETHODIMP BeginDecode(IImageSink* sink, IPropertySetStorage* properties) override;
  STDMETHODIMP Decode() override;
  STDMETHODIMP EndDecode(HRESULT status) override;
  STDMETHODIMP GetFrameDimensionsCount(UINT* count) override;
  STDMETHODIMP GetFrameDimensionsList(GUID* ids, UINT count) override;
  STDMETHODIMP GetFrameCount(const GUID* dimension, UINT* count) override;
  STDMETHODIMP SelectActiveFrame(const GUID* dimension, UINT index) override;
  STDMETHODIMP GetImageInfo(ImageInfo* info) override;
  STDMETHODIMP GetThumbnail(UINT width, UINT height, IImage** thumbnail) override;
  STDMETHODIMP QueryDecoderParam(GUID guid) override;
  STDMETHODIMP SetDecoderParam(GUID guid, UINT length, PVOID value) override;
  STDMETHODIMP GetPropertyCount(UINT* count) override;
  STDMETHODIMP GetPropertyIdList(UINT count, PROPID* list) override;
  STDMETHODIMP GetPropertyItemSize(PROPID id, UINT* size) override;
  STDMETHODIMP GetPropertyItem(PROPID id, UINT size, PropertyItem* buffer) override;
  STDMETHODIMP GetPropertySize(UINT* total, UINT* count) override;
  STDMETHODIMP GetAllPropertyItems(UINT total, UINT count, PropertyItem* items) override;
  STDMETHODIMP RemovePropertyItem(PROPID id) override;
  STDMETHODIMP SetPropertyItem(PropertyItem item) override;

  // For the device: the decoded picture, or null before InitDecoder.
  const DecodedImage* image() const { return image_.get(); }

 private:
  ImageDecoder() = default;
  ~ImageDecoder() override;
  void* FindInterface(REFIID iid) override;
  HRESULT StartSink();
  std::vector<uint8_t> PropertyValue(PROPID id, WORD* type) const;

  std::unique_ptr<DecodedImage> image_;
  UINT frame_ = 0;
  IImageSink* sink_ = nullptr;  // owned reference between BeginDecode and EndDecode
  bool sink_started_ = false;
  bool sink_ended_ = false;
  int next_row_ = 0;
  std::vector<uint32_t> scaled_;  // the frame at the sink's size, when it asked for another
  int out_width_ = 0, out_height_ = 0;
};

}  // namespace pellix::device::imaging
