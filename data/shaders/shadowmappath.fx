// Route overlay of the map designer's shadow map: path pieces drawn as soft dark bands,
// so they read on every ground texture once the overlay multiplies over the map.
@technique main
@pass p0
@fragment
void main() {
  vec4 t = texture(tex0, vUV0) * vColour;
  float a = smoothstep(0.05, 0.6, t.a);
  fragColour = vec4(t.rgb * 0.6, a * 0.75);
}
@end
