<%@ Language="VBScript" %>
<html>
<body>
<h2>How to find us</h2>
<object data="map.svg" type="image/svg+xml" width="300" height="200">
  <img src="map.png" alt="Map of Mill Lane, the theatre's street">
</object>
</body>
</html>
