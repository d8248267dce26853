// Route overlay of the map designer's shadow map: path pieces drawn as soft dark bands,
// so they read on every ground texture once the overlay multiplies over the map. The
// output is the band as it would look laid on a clear layer (colour times alpha, alpha
// squared) and that layer blended at the vertex alpha, stamped straight over the default
// image.
@technique main
@pass p0
@fragment
void main() {
  vec4 t = texture(tex0, vUV0);
  float a = smoothstep(0.05, 0.6, t.a) * 0.75;
  fragColour = vec4(t.rgb * vColour.rgb * (0.6 * a), a * a * vColour.a);
}
@end
