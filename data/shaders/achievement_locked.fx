// Locked achievements: the picture in dark grey, keeping its shape.
@technique main
@pass p0
@fragment
void main() {
  vec4 t = texture(tex0, vUV0) * vColour;
  float lum = dot(t.rgb, vec3(0.30, 0.59, 0.11));
  fragColour = vec4(vec3(lum * 0.35 + 0.05), t.a);
}
@end
