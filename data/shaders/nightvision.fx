// Night vision: the scene as green phosphor, brightened where the light map is lit, with
// a slow scan band whose strength the battle screen pulses through scan_intensity.
@param float scan_intensity 0.05
// light_scale: the part of its target the light map fills (drawn at lower resolution).
@param float light_scale 1.0
@technique main
@pass p0
@fragment
void main() {
  vec3 scene = texture(tex0, vUV0).rgb;
  vec3 light = texture(tex1, vUV0 * light_scale).rgb;
  float lum = dot(scene, vec3(0.30, 0.59, 0.11));
  lum = clamp(lum * 1.35 - 0.05 + dot(light, vec3(0.33)) * 0.3, 0.0, 1.0);
  // Scan lines by the scene's own rows, dark on the even ones counted from the top,
  // whichever target the pass writes.
  float line = 0.85 - 0.15 * sin(vUV0.y * float(textureSize(tex0, 0).y) * 3.14159);
  float band = scan_intensity * (0.5 + 0.5 * sin(vUV0.y * 40.0));
  vec3 green = vec3(0.25, 1.0, 0.35) * lum * line + vec3(0.05, 0.2, 0.08) * band;
  fragColour = vec4(min(green, vec3(1.0)), 1.0);
}
@end
