#pragma once
// The graphics device the engine draws through. Its shape follows the immediate-mode,
// state-machine device the game was designed around (scenes, render states, sampler
// and texture-stage states, pre-transformed vertices, lockable buffers), so the engine
// code maps one call to one call. Two back ends: OpenGL 3.3 core (GLDevice) and a
// recording null device for headless runs and tests (NullDevice).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SDL_Window;

namespace platform {

// ---------------------------------------------------------------------------------
// Result codes. The numeric values are the classic device error codes, so logs and
// save files that carry them stay meaningful.
using HRESULT = int32_t;
constexpr HRESULT MakeDeviceError(uint32_t code) { return static_cast<HRESULT>(0x88760000u | code); }
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MakeDeviceError(380);
constexpr HRESULT D3DERR_WASSTILLDRAWING = MakeDeviceError(540);
constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = MakeDeviceError(2072);
constexpr HRESULT D3DERR_UNSUPPORTEDCOLOROPERATION = MakeDeviceError(2073);
constexpr HRESULT D3DERR_UNSUPPORTEDCOLORARG = MakeDeviceError(2074);
constexpr HRESULT D3DERR_UNSUPPORTEDALPHAOPERATION = MakeDeviceError(2075);
constexpr HRESULT D3DERR_UNSUPPORTEDALPHAARG = MakeDeviceError(2076);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = MakeDeviceError(2087);
constexpr HRESULT D3DERR_NOTFOUND = MakeDeviceError(2150);
constexpr HRESULT D3DERR_DEVICELOST = MakeDeviceError(2152);
constexpr HRESULT D3DERR_DEVICENOTRESET = MakeDeviceError(2153);
constexpr HRESULT D3DERR_NOTAVAILABLE = MakeDeviceError(2154);
constexpr HRESULT D3DERR_INVALIDDEVICE = MakeDeviceError(2155);
constexpr HRESULT D3DERR_INVALIDCALL = MakeDeviceError(2156);
constexpr HRESULT D3DERR_DEVICEREMOVED = MakeDeviceError(2160);
constexpr HRESULT D3DERR_DEVICEHUNG = MakeDeviceError(2164);
inline bool Failed(HRESULT hr) { return hr < 0; }
inline bool Succeeded(HRESULT hr) { return hr >= 0; }

// ---------------------------------------------------------------------------------
// Formats, pools, usage.
enum class Format : uint32_t {
  Unknown = 0,
  A8R8G8B8 = 21,
  X8R8G8B8 = 22,
  // Block-compressed colour, by their four-character codes.
  DXT1 = 0x31545844u,
  DXT3 = 0x33545844u,
  DXT5 = 0x35545844u,
};
const char* FormatName(Format f);

enum class Pool { Default = 0, Managed = 1, SystemMem = 2 };
enum Usage : uint32_t { USAGE_NONE = 0, USAGE_RENDERTARGET = 1, USAGE_WRITEONLY = 8, USAGE_DYNAMIC = 0x200 };
enum LockFlags : uint32_t { LOCK_NONE = 0, LOCK_DISCARD = 0x2000, LOCK_NOOVERWRITE = 0x1000 };
enum ClearFlags : uint32_t { CLEAR_TARGET = 1, CLEAR_ZBUFFER = 2, CLEAR_STENCIL = 4 };

// Flexible vertex formats of the pre-transformed vertices the game uses.
constexpr uint32_t FVF_XYZRHW = 0x004;
constexpr uint32_t FVF_DIFFUSE = 0x040;
constexpr uint32_t FVF_TEX1 = 0x100;
constexpr uint32_t FVF_TEX2 = 0x200;
constexpr uint32_t FVF_ENGINE = FVF_XYZRHW | FVF_DIFFUSE | FVF_TEX1;  // 0x144, 28 bytes
constexpr uint32_t FVF_TWOUV = FVF_XYZRHW | FVF_DIFFUSE | FVF_TEX2;   // 0x244, 36 bytes
int FvfStride(uint32_t fvf);

enum class PrimitiveType {
  PointList = 1,
  LineList = 2,
  LineStrip = 3,
  TriangleList = 4,
  TriangleStrip = 5,
  TriangleFan = 6
};
// Vertices drawn for a primitive count of the given type.
int VerticesForPrimitives(PrimitiveType type, int primitiveCount);

// ---------------------------------------------------------------------------------
// Render, sampler and texture-stage states (the subset the game sets).
enum class RenderState {
  AlphaTestEnable,
  AlphaFunc,
  AlphaRef,
  AlphaBlendEnable,
  SrcBlend,
  DestBlend,
  BlendOp,
  Lighting,
  ZEnable,
  CullMode,
  TextureFactor,  // ARGB constant used by the TFACTOR argument
  ScissorTestEnable,
  Count
};
const char* RenderStateName(RenderState s);

enum Blend : uint32_t {
  BLEND_ZERO = 1,
  BLEND_ONE = 2,
  BLEND_SRCCOLOR = 3,
  BLEND_INVSRCCOLOR = 4,
  BLEND_SRCALPHA = 5,
  BLEND_INVSRCALPHA = 6,
  BLEND_DESTALPHA = 7,
  BLEND_INVDESTALPHA = 8,
  BLEND_DESTCOLOR = 9,
  BLEND_INVDESTCOLOR = 10,
};
enum BlendOp : uint32_t {
  BLENDOP_ADD = 1,
  BLENDOP_SUBTRACT = 2,
  BLENDOP_REVSUBTRACT = 3,
  BLENDOP_MIN = 4,
  BLENDOP_MAX = 5
};
enum Cmp : uint32_t {
  CMP_NEVER = 1,
  CMP_LESS,
  CMP_EQUAL,
  CMP_LESSEQUAL,
  CMP_GREATER,
  CMP_NOTEQUAL,
  CMP_GREATEREQUAL,
  CMP_ALWAYS
};
enum Cull : uint32_t { CULL_NONE = 1, CULL_CW = 2, CULL_CCW = 3 };

enum class SamplerState { AddressU, AddressV, MagFilter, MinFilter, MipFilter, MipLodBias, Count };
const char* SamplerStateName(SamplerState s);
enum TextureAddress : uint32_t { TADDRESS_WRAP = 1, TADDRESS_MIRROR = 2, TADDRESS_CLAMP = 3 };
enum TextureFilter : uint32_t { TEXF_NONE = 0, TEXF_POINT = 1, TEXF_LINEAR = 2 };
// MipLodBias carries the bits of a float, as the classic device did.
uint32_t FloatBits(float f);
float BitsFloat(uint32_t bits);

enum class StageState {
  ColorOp,
  ColorArg1,
  ColorArg2,
  AlphaOp,
  AlphaArg1,
  AlphaArg2,
  TexCoordIndex,
  Constant,
  Count
};
const char* StageStateName(StageState s);
enum TextureOp : uint32_t {
  TOP_DISABLE = 1,
  TOP_SELECTARG1 = 2,
  TOP_SELECTARG2 = 3,
  TOP_MODULATE = 4,
  TOP_MODULATE2X = 5,
  TOP_MODULATE4X = 6,
  TOP_ADD = 7,
};
enum TextureArg : uint32_t {
  TA_DIFFUSE = 0,
  TA_CURRENT = 1,
  TA_TEXTURE = 2,
  TA_TFACTOR = 3,
  TA_SPECULAR = 4,
  TA_TEMP = 5,
  TA_CONSTANT = 6
};

constexpr int kMaxStages = 2;

// ---------------------------------------------------------------------------------
struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};
struct Viewport {
  int32_t x = 0, y = 0, width = 0, height = 0;
  float minZ = 0.0f, maxZ = 1.0f;
};
struct DisplayMode {
  int width = 0, height = 0, refreshRate = 0;
  Format format = Format::X8R8G8B8;
};
struct AdapterIdentifier {
  std::string driver, description, deviceName;
};
struct DeviceCaps {
  int pixelShaderMajor = 3, pixelShaderMinor = 0;
  bool squareOnly = false;
  bool pow2 = false;
  int numSimultaneousRTs = 1;
  bool hardwareTnL = true;
  int maxTextureSize = 4096;
};
struct PresentParameters {
  int backBufferWidth = 0, backBufferHeight = 0;
  Format backBufferFormat = Format::Unknown;
  int backBufferCount = 1;
  bool windowed = true;
  bool vsync = true;
};
enum class VertexProcessing { Hardware, Software };

// Image file formats of the surface-save call.
enum class ImageFileFormat { BMP = 0, JPG = 1, PNG = 3, DDS = 4 };

// ---------------------------------------------------------------------------------
// A device texture (also a render target when created with USAGE_RENDERTARGET).
// Pixels are stored top row first; texture coordinate v = 0 is the top row for files
// and render targets alike, so render targets are sampled without a flip.
class Texture {
 public:
  virtual ~Texture() = default;
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Levels() const { return levels_; }
  Format GetFormat() const { return format_; }
  bool IsRenderTarget() const { return renderTarget_; }
  // Replaces the pixels of one level with 32-bit ARGB texels (0xAARRGGBB), rows top first.
  virtual HRESULT UploadLevel(int level, int width, int height, const uint32_t* argb) = 0;
  // Replaces one level of a block-compressed texture (DXT1/3/5) with the blocks as a DDS
  // file stores them; other formats refuse.
  virtual HRESULT UploadCompressedLevel(int level, int width, int height, const void* blocks, size_t bytes) {
    return D3DERR_WRONGTEXTUREFORMAT;
  }
  // Builds the levels below 0 from level 0.
  virtual void GenerateMips() {}
  // A render target drawn at a fraction of the screen's resolution: pre-transformed
  // positions (screen pixels) land scaled by this into the target's top-left part, and a
  // target switch sets the viewport to that part. 1 draws pixel for pixel.
  float DrawScale() const { return drawScale_; }
  void SetDrawScale(float scale) { drawScale_ = scale > 0.0f && scale < 1.0f ? scale : 1.0f; }

 protected:
  float drawScale_ = 1.0f;
  int width_ = 0, height_ = 0, levels_ = 1;
  Format format_ = Format::A8R8G8B8;
  bool renderTarget_ = false;
};

class VertexBuffer {
 public:
  virtual ~VertexBuffer() = default;
  virtual HRESULT Lock(uint32_t offsetBytes, uint32_t sizeBytes, void** data, uint32_t flags) = 0;
  virtual HRESULT Unlock() = 0;
  virtual uint32_t Length() const = 0;
};

class IndexBuffer {
 public:
  virtual ~IndexBuffer() = default;
  virtual HRESULT Lock(uint32_t offsetBytes, uint32_t sizeBytes, void** data, uint32_t flags) = 0;
  virtual HRESULT Unlock() = 0;
  virtual uint32_t Length() const = 0;
};

// A compiled effect: techniques of passes, each pass a shader program, with named
// float and texture parameters (see ShaderEffects for the file format).
class Effect {
 public:
  virtual ~Effect() = default;
  // Index of the first technique at or after 'from' that this device can run, or -1.
  virtual HRESULT FindNextValidTechnique(int from, int* technique) = 0;
  virtual HRESULT SetTechnique(int technique) = 0;
  virtual HRESULT Begin(int* passes) = 0;
  virtual HRESULT BeginPass(int pass) = 0;
  virtual HRESULT EndPass() = 0;
  virtual HRESULT End() = 0;
  // Raw write into a named parameter (floats, vectors); unknown names fail.
  virtual HRESULT SetValue(const char* name, const void* data, int bytes) = 0;
  virtual HRESULT SetFloat(const char* name, float value) { return SetValue(name, &value, 4); }
  virtual HRESULT SetTexture(const char* name, Texture* texture) = 0;
  virtual void OnLostDevice() {}
  virtual void OnResetDevice() {}
  virtual int TechniqueCount() const = 0;
};

// What drawing a frame cost the device: draw calls, texture binds (a stage given a
// different texture), render-target switches (a different target set) and bytes sent to
// the device (vertex, index and texel data). On a software rasteriser the frame's cost is
// the pixels it touches: those its draws cover (each triangle clipped to the viewport
// and scissor), those its clears fill, and how many of each were whole-target work (a
// clear of a whole target, one quad over a whole target).
struct FrameCounters {
  uint64_t draws = 0, textureBinds = 0, targetSwitches = 0, bytesUploaded = 0;
  uint64_t drawnPixels = 0, clearedPixels = 0, clears = 0, fullTargetPasses = 0;
  uint64_t PixelsTouched() const { return drawnPixels + clearedPixels; }
};

// The rectangle of a target that a draw or clear reaches: the viewport, cut by the
// scissor when it is on, inside the target.
Rect DrawClipRect(const Viewport& vp, bool scissorOn, const Rect& scissor, int targetWidth, int targetHeight);
// Pixels covered by the primitives of 'xy' (two floats a vertex, pre-transformed pixel
// positions with pixel centres on whole numbers), each triangle clipped to 'clip'.
// Lines count their length, points one pixel each.
uint64_t CoveredPixels(PrimitiveType type, const std::vector<float>& xy, const Rect& clip);
// Pixels a copy writes into a rectangle of a target of that size.
uint64_t StretchPixels(const Rect& dest, int targetWidth, int targetHeight);

// ---------------------------------------------------------------------------------
class Device {
 public:
  virtual ~Device() = default;

  // The counters of the frame being drawn, and those of the last presented frame (each
  // Present closes a frame and starts the next at zero).
  const FrameCounters& Counters() const { return *counters_; }
  const FrameCounters& LastFrameCounters() const { return lastFrame_; }
  // The display's refresh rate the presentation waits for, or 0 when presenting never
  // waits for a display (the null device): the frame loop paces itself by it.
  virtual int RefreshRate() const { return 0; }

  // Frame and device state.
  virtual HRESULT TestCooperativeLevel() = 0;
  virtual HRESULT Reset(const PresentParameters& params) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Present() = 0;
  virtual HRESULT Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) = 0;
  virtual HRESULT SetViewport(const Viewport& vp) = 0;
  virtual HRESULT GetViewport(Viewport* vp) = 0;
  virtual HRESULT SetScissorRect(const Rect& r) = 0;
  virtual int BackBufferWidth() const = 0;
  virtual int BackBufferHeight() const = 0;

  // States.
  virtual HRESULT SetRenderState(RenderState state, uint32_t value) = 0;
  virtual uint32_t GetRenderState(RenderState state) const = 0;
  virtual HRESULT SetSamplerState(int stage, SamplerState state, uint32_t value) = 0;
  virtual uint32_t GetSamplerState(int stage, SamplerState state) const = 0;
  virtual HRESULT SetTextureStageState(int stage, StageState state, uint32_t value) = 0;
  virtual uint32_t GetTextureStageState(int stage, StageState state) const = 0;
  virtual HRESULT SetFVF(uint32_t fvf) = 0;
  virtual uint32_t GetFVF() const = 0;

  // Resources.
  virtual HRESULT CreateTexture(int width, int height, int levels, uint32_t usage, Format format, Pool pool,
                                std::unique_ptr<Texture>* out) = 0;
  virtual HRESULT CreateVertexBuffer(uint32_t lengthBytes, uint32_t usage, uint32_t fvf, Pool pool,
                                     std::unique_ptr<VertexBuffer>* out) = 0;
  virtual HRESULT CreateIndexBuffer(uint32_t lengthBytes, uint32_t usage, Pool pool,
                                    std::unique_ptr<IndexBuffer>* out) = 0;
  // Compiles an effect file; on failure 'errors' holds the file and line of the fault.
  virtual HRESULT CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* out,
                                       std::string* errors) = 0;
  virtual bool SupportsShaders() const = 0;

  // Bindings.
  virtual HRESULT SetTexture(int stage, Texture* texture) = 0;
  virtual Texture* GetTexture(int stage) const = 0;
  // Render target 0: a texture created with USAGE_RENDERTARGET, or null for the back buffer.
  // Setting a target resets the viewport to the whole target.
  virtual HRESULT SetRenderTarget(Texture* target) = 0;
  virtual Texture* GetRenderTarget() const = 0;
  virtual HRESULT SetStreamSource(VertexBuffer* vb, uint32_t offsetBytes, uint32_t stride) = 0;
  virtual HRESULT SetIndices(IndexBuffer* ib) = 0;

  // Drawing. Positions are pre-transformed pixels with pixel centres on whole numbers.
  virtual HRESULT DrawPrimitiveUP(PrimitiveType type, int primitiveCount, const void* vertices,
                                  int stride) = 0;
  virtual HRESULT DrawIndexedPrimitive(PrimitiveType type, int baseVertex, int minIndex, int numVertices,
                                       int startIndex, int primitiveCount) = 0;

  // Copies (stretching, linear filter) a rectangle of a source (null = back buffer) into a
  // rectangle of a render-target texture; null rectangles mean the whole surface.
  virtual HRESULT StretchRect(Texture* source, const Rect* sourceRect, Texture* dest,
                              const Rect* destRect) = 0;
  // Reads a rectangle of a source (null = back buffer; a texture reads level 0) as 32-bit
  // ARGB texels, rows top first.
  virtual HRESULT ReadPixels(Texture* source, const Rect& rect, std::vector<uint32_t>* argb) = 0;

 protected:
  // Adds one draw's covered pixels to the frame's counters: 'count' vertices of 'stride'
  // bytes from 'vertices' (of 'vertexBytes'), in order or, with 'indices' (16-bit, of
  // 'indexBytes'), by index from 'startIndex' plus 'baseVertex'. Out-of-range vertices
  // are left out.
  void CountDrawPixels(PrimitiveType type, int primitiveCount, const uint8_t* vertices, size_t vertexBytes,
                       int stride, const uint8_t* indices, size_t indexBytes, int startIndex, int baseVertex,
                       const Rect& clip, int targetWidth, int targetHeight);
  // Adds one clear of 'clip' to the frame's counters.
  void CountClearPixels(const Rect& clip);
  // Closes the frame's counters (called by Present).
  void EndFrameCounters() {
    lastFrame_ = *counters_;
    *counters_ = FrameCounters();
  }
  // Shared with the device's buffers and textures, which may outlive it.
  std::shared_ptr<FrameCounters> counters_ = std::make_shared<FrameCounters>();
  FrameCounters lastFrame_;
  float countScale_ = 1.0f;  // the target's draw scale, applied to counted positions

 private:
  std::vector<float> countXY_;  // scratch of CountDrawPixels
};

// The factory object: adapter queries and device creation.
class Direct3D {
 public:
  virtual ~Direct3D() = default;
  virtual HRESULT GetAdapterIdentifier(AdapterIdentifier* out) = 0;
  virtual HRESULT GetDeviceCaps(DeviceCaps* out) = 0;
  virtual HRESULT CheckDeviceFormat(uint32_t usage, Format format) = 0;
  virtual void EnumAdapterModes(std::vector<DisplayMode>* out) = 0;
  virtual HRESULT CreateDevice(SDL_Window* window, VertexProcessing vp, PresentParameters* params,
                               std::unique_ptr<Device>* out) = 0;
};

enum class Backend { Auto, OpenGL, Null };
// Auto picks the null device when the environment asks for it (ZENTRAK_GRAPHICS=null, or
// SDL's dummy video driver) and OpenGL otherwise.
std::unique_ptr<Direct3D> CreateDirect3D(Backend backend = Backend::Auto);
Backend ResolveBackend(Backend backend);
// SDL window flags the main window needs so that the chosen back end can draw into it.
uint32_t WindowFlagsForDevice();

// Saves 32-bit ARGB pixels (rows top first) to a file: BMP (24-bit), JPG, PNG or DDS
// (A8R8G8B8). Returns false on failure (nothing half-written is left behind).
bool SaveImageFile(const std::string& path, ImageFileFormat format, int width, int height,
                   const std::vector<uint32_t>& argb);
// Reads a rectangle of a surface and saves it (the surface-to-file call).
HRESULT SaveSurfaceToFile(Device& device, const std::string& path, ImageFileFormat format, Texture* source,
                          const Rect* rect);
// Loads an image file (DDS, JPG, PNG, BMP) into a new texture: size from the file (rounded up
// to powers of two when the device requires), a full mip chain when fullMips is set,
// otherwise the levels stored in the file. A file that cannot be read or decoded gives
// the reason in 'error' when asked. keepBlocks false decodes block-compressed art to
// 8-bit RGBA even where the device samples it compressed.
HRESULT CreateTextureFromFile(Device& device, const std::string& path, bool fullMips,
                              std::unique_ptr<Texture>* out, std::string* error = nullptr,
                              bool keepBlocks = true);
// A picture drawn at one size on screen: decoded, shrunk to width x height (each texel
// the average of what it covers, see ShrinkImage) and made one level, so it is sampled
// texel for pixel with no mip chain beside it.
HRESULT CreateTextureFromFileAtSize(Device& device, const std::string& path, int width, int height,
                                    std::unique_ptr<Texture>* out, std::string* error = nullptr);

}  // namespace platform
