<?php $season = "Spring"; ?>
<html>
<head><title>Music - <?php echo $season; ?></title></head>
<body>
<h2>Songs from the show</h2>
<embed src="overture.mid" autostart="true" loop="false" width="145" height="60">
<p>The overture starts by itself. The finale needs a click:</p>
<embed src="finale.mid" autostart="false" width="145" height="60">
</body>
</html>
