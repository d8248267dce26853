// Locked achievements: the picture in a flat grey, light enough that its shape and any
// lettering stay readable, clearly duller than an unlocked one.
@technique main
@pass p0
@fragment
void main() {
  vec4 t = texture(tex0, vUV0) * vColour;
  float lum = dot(t.rgb, vec3(0.30, 0.59, 0.11));
  fragColour = vec4(vec3(lum * 0.55 + 0.18), t.a * 0.85);
}
@end
