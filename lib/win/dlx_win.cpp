// Anchor of the Windows-only part of the library, so the library exists before its first unit.
namespace dlx {
void DlxWinAnchor() {}
}  // namespace dlx
