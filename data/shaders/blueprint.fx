// The unit designer's blueprint look: every layer becomes pale cyan line-work on the blue
// grid, brighter where the painted layer is light.
@technique main
@pass p0
@fragment
void main() {
  vec4 t = texture(tex0, vUV0) * vColour;
  float lum = dot(t.rgb, vec3(0.30, 0.59, 0.11));
  vec3 ink = mix(vec3(0.16, 0.38, 0.70), vec3(0.80, 0.95, 1.00), clamp(lum * 1.4, 0.0, 1.0));
  fragColour = vec4(ink, t.a * 0.85);
}
@end
